"""Files through the package: dumps read as pydicom reads the same files, bulk data references,
conversion, thumbnails, the version, and the failure texts of files that cannot be read."""
import os
import re
import struct

import numpy
import pydicom
import pytest

import pella
from conftest import SOURCE_DIR, same_data_set, sample

# Samples of many kinds: little and big endian, implicit VR, sequences, structured reports,
# waveforms, compressed pixel data, and texts in several character sets.
DUMPED_AS_PYDICOM_READS = [
    "CT_small.dcm", "MR_small.dcm", "MR_small_bigendian.dcm", "MR_small_implicit.dcm", "rtplan.dcm",
    "rtdose.dcm", "JPEG2000.dcm", "SC_rgb_rle.dcm", "waveform_ecg.dcm", "test-SR.dcm",
    "reportsi.dcm", "../charset_files/chrGreek.dcm", "../charset_files/chrRuss.dcm",
    "../charset_files/chrH31.dcm", "../charset_files/chrX1.dcm", "../charset_files/chrArab.dcm",
]


@pytest.mark.parametrize("name", DUMPED_AS_PYDICOM_READS)
def test_dump_reads_as_pydicom(name):
    expected = pydicom.dcmread(sample(name))
    dumped = pella.dump(sample(name))
    assert all(re.fullmatch("[0-9A-F]{8}", tag) and "vr" in attribute for tag, attribute in dumped.items())
    read = pella.read_dataset(sample(name))
    assert set(read.keys()) == set(expected.keys())
    assert same_data_set(expected, read) == []


def test_bulk_data_references_are_read_back(tmp_path):
    dumped = pella.dump(sample("CT_small.dcm"), inline_limit=64)
    reference = dumped["7FE00010"]["BulkDataURI"]
    assert reference.startswith("file:///") and "InlineBinary" not in dumped["7FE00010"]
    assert pella.to_dataset(dumped).PixelData == pydicom.dcmread(sample("CT_small.dcm")).PixelData


@pytest.mark.parametrize("syntax", [pella.EXPLICIT_VR_BIG_ENDIAN, pella.IMPLICIT_VR_LITTLE_ENDIAN,
                                    pella.JPEG_LOSSLESS_SV1])
def test_convert_keeps_the_pixels(tmp_path, syntax):
    source = sample("CT_small.dcm")
    written = pella.convert(source, tmp_path / "out.dcm", syntax)
    converted, original = pydicom.dcmread(written), pydicom.dcmread(source)
    assert converted.file_meta.TransferSyntaxUID == syntax
    assert converted.SOPInstanceUID == original.SOPInstanceUID
    if syntax == pella.JPEG_LOSSLESS_SV1:  # pydicom cannot decode it here: convert it back
        written = pella.convert(written, tmp_path / "back.dcm", pella.EXPLICIT_VR_LITTLE_ENDIAN)
        converted = pydicom.dcmread(written)
    assert numpy.array_equal(converted.pixel_array, original.pixel_array)


def jpeg_size(path):
    """(width, height) from the start-of-frame segment of a JPEG file."""
    data = open(path, "rb").read()
    assert data[:2] == b"\xff\xd8"
    at = 2
    while at + 4 <= len(data):
        marker, length = data[at + 1], struct.unpack(">H", data[at + 2:at + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[at + 5:at + 9])
            return width, height
        at += 2 + length
    raise AssertionError("no start of frame")


def test_thumbnail_has_the_width_and_the_image_proportions(tmp_path):
    written = pella.thumbnail(sample("MR_small.dcm"), tmp_path / "thumb.png", 48)
    assert written == tmp_path / "thumb.jpg"
    original = pydicom.dcmread(sample("MR_small.dcm"))
    width, height = jpeg_size(written)
    assert width == 48 and height == round(48 * original.Rows / original.Columns)


def test_failures_carry_the_library_text(tmp_path):
    text_file = tmp_path / "notes.txt"
    text_file.write_text("not DICOM")
    missing = tmp_path / "missing.dcm"
    failing = [
        lambda: pella.dump(text_file),
        lambda: pella.dump(missing),
        lambda: pella.convert(missing, tmp_path / "out.dcm", pella.EXPLICIT_VR_LITTLE_ENDIAN),
        lambda: pella.convert(sample("CT_small.dcm"), tmp_path / "out.dcm", "1.2.3.4"),
        lambda: pella.thumbnail(sample("rtplan.dcm"), tmp_path / "plan.jpg", 32),
    ]
    for call in failing:
        with pytest.raises(pella.PellaError) as raised:
            call()
        assert str(raised.value)
    assert not (tmp_path / "out.dcm").exists() and not (tmp_path / "plan.jpg").exists()
    with pytest.raises(ValueError):
        pella.thumbnail(sample("MR_small.dcm"), tmp_path / "t.jpg", 0)


def test_version_is_the_header_version():
    header = (SOURCE_DIR / "pella.h").read_text()
    expected = re.search(r'#define PELLA_VERSION "([^"]+)"', header).group(1)
    assert pella.version() == expected
    assert pella.__version__ == expected
    assert os.path.basename(pella._native.lib()._name) in (os.path.basename(os.environ.get(
        "PELLA_LIBRARY", "libpella.so.0")),)


def test_anonymize_maps_uids_under_the_key_and_refuses_burned_in_text(tmp_path):
    import hashlib
    import hmac
    source = sample("CT_small.dcm")
    original = pydicom.dcmread(source)
    written = pella.anonymize(source, tmp_path / "out", "a key")
    copy = pydicom.dcmread(written)
    digest = hmac.new(b"a key", str(original.SOPInstanceUID).encode(), hashlib.sha256).digest()
    expected = "2.25." + str(int.from_bytes(digest[:16], "big"))
    assert copy.SOPInstanceUID == expected
    assert written.name == expected + ".dcm"
    assert copy.PatientName == "" and copy.PatientIdentityRemoved == "YES"
    assert copy.PixelData == original.PixelData
    shifted = pydicom.dcmread(pella.anonymize(source, tmp_path / "shifted", "a key", shift_dates=1,
                                              retain_uids=True))
    assert shifted.SOPInstanceUID == original.SOPInstanceUID
    assert int(shifted.StudyDate) != int(original.StudyDate) and shifted.StudyDate != ""
    with pytest.raises(pella.BurnedInTextError):
        pella.anonymize(sample("SC_rgb_rle.dcm"), tmp_path / "sc", "a key")
    assert pella.anonymize(sample("SC_rgb_rle.dcm"), tmp_path / "sc", "a key", allow_burned_in=True).exists()
    with pytest.raises(ValueError):
        pella.anonymize(source, tmp_path / "out", "")
