#!/usr/bin/python3
"""Writes the seed corpora of the data targets from pydicom's sample files, and the fuzzing
dictionaries. Run with Debian's Python (/usr/bin/python3, which has pydicom).

Usage: make_corpus.py CORPUS_FOLDER [--dictionaries DICT_FOLDER]
  CORPUS_FOLDER/dicom_file, convert_dataset: the sample files as they are (up to 64 KiB)
  CORPUS_FOLDER/dicomdir, image_pages: the DICOMDIR files, and every Part 10 file, of those
  CORPUS_FOLDER/dump_list: the bare data sets of those files, behind the byte that tells the
  target their encoding (0 implicit, 1 explicit little endian, 2 explicit big endian)
  CORPUS_FOLDER/frame_codec: the first frame of each JPEG-LS and JPEG 2000 sample, behind the
  header that announces its codec and format (see fuzz/frame_codec_fuzzer.cpp)
The PDU seeds come from fuzz_pdu_seeds (built with the fuzz targets).
"""
import argparse
import hashlib
import io
import os
import struct
import sys

import pydicom
import pydicom.encaps
from pydicom.datadict import DicomDictionary
from pydicom.filereader import read_preamble, _read_file_meta_info

MAX_SEED = 64 * 1024
SAMPLES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")

IMPLICIT = "1.2.840.10008.1.2"
BIG_ENDIAN = "1.2.840.10008.1.2.2"
SYNTAXES = [IMPLICIT, "1.2.840.10008.1.2.1", BIG_ENDIAN, "1.2.840.10008.1.2.4.70",
            "1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.1.99", "1.2.840.10008.1.2.5",
            "1.2.840.10008.1.2.4.90"]
VRS = ["AE", "AS", "AT", "CS", "DA", "DS", "DT", "FL", "FD", "IS", "LO", "LT", "OB", "OD",
       "OF", "OL", "OV", "OW", "PN", "SH", "SL", "SQ", "SS", "ST", "SV", "TM", "UC", "UI",
       "UL", "UN", "UR", "US", "UT", "UV"]
# Groups whose tags steer the readers, the dumps and the converter.
TAG_GROUPS = {0x0002, 0x0008, 0x0020, 0x0028, 0x7FE0, 0xFFFE}


def sample_files():
    for root, _, names in os.walk(SAMPLES):
        for name in sorted(names):
            path = os.path.join(root, name)
            if os.path.getsize(path) <= MAX_SEED:
                yield path


def write_seed(folder, data):
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def bare_data_set(path):
    """(encoding byte, data set bytes) of a Part 10 file, or None."""
    try:
        with open(path, "rb") as stream:
            read_preamble(stream, False)
            meta = _read_file_meta_info(stream)
            rest = stream.read()
    except Exception:
        return None
    syntax = str(meta.get("TransferSyntaxUID", ""))
    if not rest or not syntax:
        return None
    encoding = 0 if syntax == IMPLICIT else 2 if syntax == BIG_ENDIAN else 1
    return encoding, rest


def short_ecg():
    """pydicom's 12-lead ECG cut to its first 100 samples per channel (the file is too large to
    be a seed as it is)."""
    ds = pydicom.dcmread(os.path.join(SAMPLES, "waveform_ecg.dcm"))
    group = ds.WaveformSequence[0]
    channels, bits = group.NumberOfWaveformChannels, group.WaveformBitsAllocated
    samples = 100
    group.WaveformData = group.WaveformData[:samples * channels * bits // 8]
    group.NumberOfWaveformSamples = samples
    del ds.WaveformSequence[1:]
    out = io.BytesIO()
    ds.save_as(out, write_like_original=False)
    return out.getvalue()


# The codec number of fuzz/frame_codec_fuzzer.cpp for each compressed syntax it decodes.
FRAME_CODECS = {"1.2.840.10008.1.2.4.80": 0, "1.2.840.10008.1.2.4.81": 0,
                "1.2.840.10008.1.2.4.90": 1, "1.2.840.10008.1.2.4.91": 1,
                "1.2.840.10008.1.2.4.201": 2, "1.2.840.10008.1.2.4.202": 2, "1.2.840.10008.1.2.4.203": 2}


def frame_codec_seed(path):
    """The frame_codec target's input for the first frame of a JPEG-LS or JPEG 2000 file, or None."""
    try:
        ds = pydicom.dcmread(path)
        codec = FRAME_CODECS.get(str(ds.file_meta.TransferSyntaxUID))
        if codec is None or "PixelData" not in ds:
            return None
        frames = pydicom.encaps.generate_pixel_data_frame(ds.PixelData, int(ds.get("NumberOfFrames", 1) or 1))
        frame = next(frames)
        header = struct.pack("<BHHBBBBB", codec, ds.Rows, ds.Columns, ds.SamplesPerPixel % 2,
                             1 if ds.BitsAllocated == 16 else 0, (ds.BitsStored - 1) % ds.BitsAllocated,
                             ds.PixelRepresentation, ds.get("PlanarConfiguration", 0))
        seeds = [header + frame]
        if codec == 1:  # the HTJ2K decoder reads the same codestreams
            seeds.append(bytes([2]) + header[1:] + frame)
        return seeds
    except Exception:
        return None


def write_corpora(corpus):
    write_seed(os.path.join(corpus, "image_pages"), short_ecg())
    count = 0
    for path in sample_files():
        with open(path, "rb") as stream:
            data = stream.read()
        write_seed(os.path.join(corpus, "dicom_file"), data)
        write_seed(os.path.join(corpus, "convert_dataset"), data)
        if "DICOMDIR" in os.path.basename(path):
            write_seed(os.path.join(corpus, "dicomdir"), data)
        if data[128:132] == b"DICM":
            write_seed(os.path.join(corpus, "image_pages"), data)
        for seed in frame_codec_seed(path) or []:
            if len(seed) <= MAX_SEED:
                write_seed(os.path.join(corpus, "frame_codec"), seed)
        bare = bare_data_set(path)
        if bare is not None:
            write_seed(os.path.join(corpus, "dump_list"), bytes([bare[0]]) + bare[1])
        count += 1
    return count


def escaped(data):
    return "".join("\\x%02X" % b for b in data)


def tag_entries():
    for tag in sorted(DicomDictionary):
        group, element = tag >> 16, tag & 0xFFFF
        if group in TAG_GROUPS:
            yield "tag_%04X%04X_le" % (group, element), struct.pack("<HH", group, element)
            yield "tag_%04X%04X_be" % (group, element), struct.pack(">HH", group, element)
    for group, element in ((0xFFFE, 0xE000), (0xFFFE, 0xE00D), (0xFFFE, 0xE0DD)):
        yield "delim_%04X%04X_le" % (group, element), struct.pack("<HH", group, element)


def write_dictionary(path, entries):
    with open(path, "w") as out:
        out.write("# Generated by fuzz/make_corpus.py; do not edit.\n")
        for name, data in entries:
            out.write('%s="%s"\n' % (name, escaped(data)))


def dicom_entries():
    yield "magic", b"DICM"
    for vr in VRS:
        yield "vr_" + vr, vr.encode()
    for i, syntax in enumerate(SYNTAXES):
        yield "syntax_%d" % i, syntax.encode() + b"\0"
    yield "undefined_length", b"\xFF\xFF\xFF\xFF"
    yield from tag_entries()


def pdu_entries():
    for pdu_type in range(1, 8):
        yield "pdu_%02X" % pdu_type, bytes([pdu_type, 0])
    for item in (0x10, 0x20, 0x21, 0x30, 0x40, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x58, 0x59):
        yield "item_%02X" % item, bytes([item, 0])
    for control in range(4):
        yield "pdv_control_%d" % control, bytes([control])
    yield "app_context", b"1.2.840.10008.3.1.1.1"
    yield "verification", b"1.2.840.10008.1.1"
    yield "ct_image", b"1.2.840.10008.5.1.4.1.1.2"
    for i, syntax in enumerate(SYNTAXES):
        yield "syntax_%d" % i, syntax.encode()
    # Command elements, implicit VR little endian: tag and length.
    for element in (0x0000, 0x0002, 0x0100, 0x0110, 0x0120, 0x0700, 0x0800, 0x0900, 0x1000):
        yield "command_%04X" % element, struct.pack("<HH", 0, element)
    for field in (0x0001, 0x8001, 0x0030, 0x8030, 0x0020, 0x0FFF, 0x0101):
        yield "command_value_%04X" % field, struct.pack("<H", field)
    yield "big_length", b"\x7F\xFF\xFF\xFF"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("--dictionaries")
    args = parser.parse_args()
    count = write_corpora(args.corpus)
    if args.dictionaries:
        write_dictionary(os.path.join(args.dictionaries, "dicom.dict"), dicom_entries())
        write_dictionary(os.path.join(args.dictionaries, "pdu.dict"), pdu_entries())
    print("seeds from %d sample files in %s" % (count, args.corpus))
    return 0


if __name__ == "__main__":
    sys.exit(main())
