"""Drives FindSCU through ctypes, as a scripting host would, with the header's record helpers.

Usage: /usr/bin/python3 find_ctypes.py LIBPELLA PORT STUDY_UID SERIES_UID
Prints the number of matches, then one SOP Instance UID per line.
"""
import ctypes
import sys

lib = ctypes.CDLL(sys.argv[1])
port, study, series = sys.argv[2], sys.argv[3], sys.argv[4]

lib.NewQueryRecord.restype = ctypes.c_void_p
lib.NewQueryRecord.argtypes = [ctypes.c_char_p]
lib.SetQueryField.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32, ctypes.c_char_p]
lib.GetQueryField.restype = ctypes.c_char_p
lib.GetQueryField.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32]
lib.NewQueryRecordList.restype = ctypes.c_void_p
lib.AppendQueryRecord.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
lib.QueryRecordCount.argtypes = [ctypes.c_void_p]
lib.QueryRecordAt.restype = ctypes.c_void_p
lib.QueryRecordAt.argtypes = [ctypes.c_void_p, ctypes.c_int32]
lib.FindSCU.argtypes = [ctypes.c_char_p] * 5 + [ctypes.c_void_p]
lib.FindSCU.restype = ctypes.c_uint8
lib.ClearQuery.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
lib.FreeQueryRecordList.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
lib.WriteFindRQ.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
lib.ReadMoveRSP.argtypes = [ctypes.c_void_p, ctypes.c_void_p]

# NULL lists, records and handles are refused without a crash.
assert lib.QueryRecordCount(None) == 0
assert lib.QueryRecordAt(None, 0) is None
assert lib.GetQueryField(None, b"IMAGE", 0) is None
assert lib.NewQueryRecord(b"FRAME") is None
lib.ClearQuery(None, b"IMAGE")
lib.FreeQueryRecordList(None, b"IMAGE")
assert lib.WriteFindRQ(None, None, b"1.2", b"IMAGE") == 0
assert lib.ReadMoveRSP(None, None) == -1

query = lib.NewQueryRecord(b"IMAGE")
lib.SetQueryField(query, b"IMAGE", 10, study.encode())
lib.SetQueryField(query, b"IMAGE", 9, series.encode())
assert lib.GetQueryField(query, b"IMAGE", 9) == series.encode()
records = lib.NewQueryRecordList()
lib.AppendQueryRecord(records, query)
calling = ctypes.create_string_buffer(b"PYTHON", 17)
# A wrong level is refused before anything is sent; the query record stays the caller's.
assert lib.FindSCU(b"localhost", port.encode(), calling.value, b"ARCHIVE", b"image", records) == 0
assert lib.QueryRecordAt(records, 0) == query
ok = lib.FindSCU(b"localhost", port.encode(), calling.value, b"ARCHIVE", b"IMAGE", records)
count = lib.QueryRecordCount(records)
print(ok, count)
for i in range(count):
    print(lib.GetQueryField(lib.QueryRecordAt(records, i), b"IMAGE", 6).decode())
lib.ClearQuery(records, b"IMAGE")
assert lib.QueryRecordCount(records) == 0
lib.FreeQueryRecordList(records, b"IMAGE")
