#!/usr/bin/env python3
# Prints a Moodle XML file as Python's own parser reads it: per question its type, <single> or
# <gradingtype>, text format, text and fractions, for a choice the sum of the positive ones.
import sys
import xml.etree.ElementTree as ET

root = ET.parse(sys.argv[1]).getroot()
lines = ["root " + root.tag]
for q in root.findall("question"):
    if q.get("type") == "category":
        lines.append("category " + q.findtext("category/text"))
        continue
    fractions = [float(answer.get("fraction")) for answer in q.findall("answer")]
    line = [q.get("type"), q.findtext("single") or q.findtext("gradingtype"),
            q.find("questiontext").get("format"), q.findtext("questiontext/text")]
    line += ["%g" % f for f in fractions]
    if q.get("type") == "multichoice":
        line.append("sum %g" % round(sum(f for f in fractions if f > 0), 3))
    lines.append(" ".join(line))
sys.stdout.buffer.write("\n".join(lines).encode("utf-8"))
