"""Waveform test data through pydicom.

  waveforms.py samples IN                 raw multiplex samples of group 0 at a few places
  waveforms.py rewrite IN OUT implicit|explicit defined|undefined
      IN re-saved by pydicom in that VR form, every item of that length (pydicom writes every
      sequence with undefined length)
"""
import sys

import numpy as np
import pydicom
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian


def samples(path):
    ds = pydicom.dcmread(path)
    group = ds.WaveformSequence[0]
    raw = np.frombuffer(group.WaveformData, dtype="<i2").reshape(
        group.NumberOfWaveformSamples, group.NumberOfWaveformChannels)
    for i in (1, 500, 4321, 9999):
        for c in (0, 5, 6, 11):
            print(i, c, int(raw[i][c]))


def item_lengths(dataset, undefined):
    for element in dataset:
        if element.VR == "SQ":
            for item in element.value:
                item.is_undefined_length_sequence_item = undefined
                item_lengths(item, undefined)


def rewrite(src, dst, encoding, items):
    ds = pydicom.dcmread(src)
    item_lengths(ds, items == "undefined")
    implicit = encoding == "implicit"
    ds.file_meta.TransferSyntaxUID = ImplicitVRLittleEndian if implicit else ExplicitVRLittleEndian
    ds.is_implicit_VR = implicit
    ds.is_little_endian = True
    ds.save_as(dst, write_like_original=False)


if __name__ == "__main__":
    if sys.argv[1] == "samples":
        samples(sys.argv[2])
    else:
        rewrite(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5])
