#!/usr/bin/env python3
"""Lists a compound file with an independent reader, one line per element in path order:
"D path" for a storage, "S path size sha256" for a stream and its content.
Exits with 77 when olefile is not installed."""
import hashlib
import sys

try:
    import olefile
except ImportError:
    sys.exit(77)

with olefile.OleFileIO(sys.argv[1]) as ole:
    for entry in sorted(ole.listdir(streams=True, storages=True)):
        path = "/".join(entry)
        if ole.get_type(entry) == olefile.STGTY_STORAGE:
            print("D", path)
        else:
            data = ole.openstream(entry).read()
            print("S", path, len(data), hashlib.sha256(data).hexdigest())
