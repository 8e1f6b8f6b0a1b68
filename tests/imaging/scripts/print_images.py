"""Test images for the display pipeline, made with pydicom.

  print_images.py make KIND IN OUT    a variant of IN that pydicom's samples do not include
"""
import sys

import numpy as np
import pydicom
from pydicom.dataset import Dataset
from pydicom.sequence import Sequence


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
    elif kind == "modality-lut":
        low, high = int(arr.min()), int(arr.max())
        count = high - low + 1
        curve = np.sqrt(np.arange(count) / (count - 1)) * 4095
        item = Dataset()
        item.add_new(0x00283002, "SS" if low < 0 else "US", [count, low, 12])
        item.add_new(0x00283006, "OW", curve.astype("<u2").tobytes())
        item.ModalityLUTType = "HU"
        ds.ModalityLUTSequence = Sequence([item])
        for keyword in ("RescaleSlope", "RescaleIntercept", "WindowCenter", "WindowWidth"):
            if keyword in ds:
                del ds[keyword]
    elif kind == "voi-lut":
        low, high = int(arr.min()), int(arr.max())
        count = high - low + 1
        x = np.arange(count) / (count - 1)
        curve = (1 / (1 + np.exp(-8 * (x - 0.3)))) * 65535
        item = Dataset()
        item.add_new(0x00283002, "US", [count, low, 16])
        item.add_new(0x00283006, "OW", curve.astype("<u2").tobytes())
        ds.VOILUTSequence = Sequence([item])
        for keyword in ("WindowCenter", "WindowWidth"):
            if keyword in ds:
                del ds[keyword]
    elif kind == "inverse-shape":
        ds.PresentationLUTShape = "INVERSE"
    elif kind == "monochrome1-identity":
        ds.PhotometricInterpretation = "MONOCHROME1"
        ds.PresentationLUTShape = "IDENTITY"
    elif kind == "sigmoid":
        ds.VOILUTFunction = "SIGMOID"
    elif kind == "ybr-full":
        from pydicom.pixel_data_handlers.util import convert_color_space
        ybr = convert_color_space(arr, "RGB", "YBR_FULL")
        ds.PhotometricInterpretation = "YBR_FULL"
        ds.PixelData = ybr.astype(np.uint8).tobytes()
    elif kind == "two-frame":
        ds.NumberOfFrames = 2
        ds.PixelData = arr.tobytes() + (arr // 2).tobytes()
    else:
        raise SystemExit("unknown kind " + kind)
    ds.save_as(dst, write_like_original=False)


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], sys.argv[4])
