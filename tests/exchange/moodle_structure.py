#!/usr/bin/env python3
"""Reads a Moodle XML file with Python's own XML parser and prints, one line per question, its
type, its <single> or <gradingtype>, its text and the fractions of its answers; for a choice
also the sum of the positive fractions, which the platform wants to be 100."""
import sys
import xml.etree.ElementTree as ET

root = ET.parse(sys.argv[1]).getroot()
lines = ["root " + root.tag]
for question in root.findall("question"):
    kind = question.get("type")
    if kind == "category":
        lines.append("category " + question.findtext("category/text"))
        continue
    fractions = [float(answer.get("fraction")) for answer in question.findall("answer")]
    line = [kind, question.findtext("single") or question.findtext("gradingtype"),
            question.find("questiontext").get("format"), question.findtext("questiontext/text")]
    line += ["%g" % fraction for fraction in fractions]
    if kind == "multichoice":
        line.append("sum %g" % round(sum(f for f in fractions if f > 0), 3))
    lines.append(" ".join(line))
sys.stdout.buffer.write("\n".join(lines).encode("utf-8"))
