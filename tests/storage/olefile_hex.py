#!/usr/bin/env python3
"""Lists a compound file with an independent reader, one line per element in path order:
"D path" for a storage, "S path hex" for a stream with its bytes, and for every stream named
"Data" one more line "Z path hex" with its content inflated by zlib ("Z path error: ..." when
it does not inflate). Exits with 77 when olefile is not installed."""
import sys
import zlib

try:
    import olefile
except ImportError:
    sys.exit(77)

with olefile.OleFileIO(sys.argv[1]) as ole:
    for entry in sorted(ole.listdir(streams=True, storages=True)):
        path = "/".join(entry)
        if ole.get_type(entry) == olefile.STGTY_STORAGE:
            print("D", path)
            continue
        data = ole.openstream(entry).read()
        print("S", path, data.hex())
        if entry[-1] == "Data":
            try:
                print("Z", path, zlib.decompress(data).hex())
            except zlib.error as error:
                print("Z", path, "error:", error)
