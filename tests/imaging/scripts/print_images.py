"""Test images for the print page, made and read with pydicom.

  print_images.py expected IN OUT     the 8-bit gray page of a native DICOM image, raw bytes
  print_images.py make KIND IN OUT    a variant of IN that pydicom's samples do not include
"""
import sys

import numpy as np
import pydicom
from pydicom.dataset import Dataset
from pydicom.sequence import Sequence


def leading_number(value, fallback):
    if value is None or value == "":
        return fallback
    if isinstance(value, pydicom.multival.MultiValue):
        value = value[0]
    return float(value)


def truncating_div(a, b):
    return np.sign(a) * (np.abs(a) // b)


def expected(path):
    ds = pydicom.dcmread(path)
    arr = ds.pixel_array
    if getattr(ds, "NumberOfFrames", 1) and int(getattr(ds, "NumberOfFrames", 1)) > 1:
        arr = arr[0]
    if ds.SamplesPerPixel == 3:
        rgb = arr.astype(np.int64)
        return ((299 * rgb[..., 0] + 587 * rgb[..., 1] + 114 * rgb[..., 2] + 500) // 1000).astype(np.uint8)
    if ds.BitsAllocated == 8:
        centre, width = 127, 255
    else:
        centre = int(leading_number(ds.get("WindowCenter"), 0))
        width = int(leading_number(ds.get("WindowWidth"), 0))
        if width <= 0:
            width = 100
    slope = leading_number(ds.get("RescaleSlope"), 1)
    intercept = leading_number(ds.get("RescaleIntercept"), 0)
    v = np.trunc(slope * arr.astype(np.float64) + intercept).astype(np.int64)
    offset = centre - v if ds.PhotometricInterpretation == "MONOCHROME1" else v - centre
    g = truncating_div(offset * 255, width) + 127
    return np.clip(g, 0, 255).astype(np.uint8)


def make(kind, src, dst):
    ds = pydicom.dcmread(src)
    arr = ds.pixel_array
    if kind == "monochrome1":
        ds.PhotometricInterpretation = "MONOCHROME1"
        ds.WindowCenter, ds.WindowWidth = 40, 400
    elif kind == "unsigned-high":
        ds.PixelRepresentation = 0
        ds.PixelData = (arr.astype(np.int32) + 33000).astype(np.uint16).tobytes()
        ds.RescaleSlope, ds.RescaleIntercept = 1, 0
        ds.WindowCenter, ds.WindowWidth = 33000, 2000
    elif kind == "slope-2":
        ds.RescaleSlope, ds.RescaleIntercept = 2, -100
        ds.WindowCenter, ds.WindowWidth = "-1000.7", "3000.9"
    elif kind == "narrow-window":
        ds.WindowCenter, ds.WindowWidth = 0, 2  # bright pixels far above the window
    elif kind == "eight-bit":
        ds.BitsAllocated = ds.BitsStored = 8
        ds.HighBit = 7
        ds.PixelRepresentation = 0
        ds.PixelData = ((arr.astype(np.int32) >> 4) & 0xFF).astype(np.uint8).tobytes()
        ds.WindowCenter, ds.WindowWidth = 40, 400
    elif kind == "nested-attributes":
        item = Dataset()
        item.Rows, item.Columns, item.BitsAllocated = 2, 2, 8
        item.WindowWidth = 1
        item.PhotometricInterpretation = "MONOCHROME1"
        ds.ReferencedImageSequence = Sequence([item])
        icon = Dataset()
        icon.Rows, icon.Columns, icon.BitsAllocated, icon.SamplesPerPixel = 4, 4, 8, 1
        icon.PhotometricInterpretation = "MONOCHROME2"
        icon.PixelData = bytes(16)
        ds.IconImageSequence = Sequence([icon])
        # Undefined lengths: the items' elements stand in the flat element list.
        for keyword in ("ReferencedImageSequence", "IconImageSequence"):
            ds[keyword].is_undefined_length = True
            for entry in ds[keyword].value:
                entry.is_undefined_length_sequence_item = True
    elif kind == "two-frame":
        ds.NumberOfFrames = 2
        ds.PixelData = arr.tobytes() + (arr // 2).tobytes()
    else:
        raise SystemExit("unknown kind " + kind)
    ds.save_as(dst, write_like_original=False)


if __name__ == "__main__":
    if sys.argv[1] == "expected":
        with open(sys.argv[3], "wb") as out:
            out.write(expected(sys.argv[2]).tobytes())
    elif sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], sys.argv[4])
