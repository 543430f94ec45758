#!/usr/bin/env python3
"""Lists a compound file with an independent reader, one line per element in path order:
"D path" for a storage, and for a stream, by the mode given before the file:
  digest  "S path size sha256" with the size and digest of its content;
  hex     "S path hex" with its bytes, and for every stream named "Data" one more line
          "Z path hex" with its content inflated by zlib ("Z path error: ..." when it does
          not inflate).
Exits with 77 when olefile is not installed."""
import hashlib
import sys
import zlib

try:
    import olefile
except ImportError:
    sys.exit(77)

mode, file = sys.argv[1], sys.argv[2]
if mode not in ("digest", "hex"):
    sys.exit("unknown mode: " + mode)

with olefile.OleFileIO(file) as ole:
    for entry in sorted(ole.listdir(streams=True, storages=True)):
        path = "/".join(entry)
        if ole.get_type(entry) == olefile.STGTY_STORAGE:
            print("D", path)
            continue
        data = ole.openstream(entry).read()
        if mode == "digest":
            print("S", path, len(data), hashlib.sha256(data).hexdigest())
            continue
        print("S", path, data.hex())
        if entry[-1] == "Data":
            try:
                print("Z", path, zlib.decompress(data).hex())
            except zlib.error as error:
                print("Z", path, "error:", error)
