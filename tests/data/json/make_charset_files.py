"""Writes small Part 10 files whose texts pydicom encodes in various Specific Character Sets.

usage: make_charset_files.py FOLDER

One file per character set, in explicit VR little endian, plus one whose sequence item names a
character set of its own. The texts are the same as pydicom would read them back.
"""
import sys

import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, generate_uid

CASES = [
    ("latin1", "ISO_IR 100", "Müller^Jürgen", "Hôpital Général de Montréal"),
    ("utf8", "ISO_IR 192", "Ωμέγα^Дмитрий", "東京大学病院 ☃"),
    ("cyrillic", "ISO_IR 144", "Люкceмбypг^Иван", "Больница"),
    ("latin2", "ISO_IR 101", "Wałęsa^Łukasz", "Szpital Świętej Łucji"),
    ("greek", "ISO_IR 126", "Διονυσιος", "Νοσοκομείο"),
    ("gb18030", "GB18030", "王^小东", "北京医院"),
    ("japanese", ["", "ISO 2022 IR 87"], "Yamada^Tarou=山田^太郎", "東京"),
    ("ascii", None, "Doe^John", "General Hospital"),
]


def base_dataset(uid):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = uid
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.preamble = b"\0" * 128
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = uid
    return ds


def main():
    folder = sys.argv[1]
    for name, charset, person, institution in CASES:
        ds = base_dataset(generate_uid())
        if charset is not None:
            ds.SpecificCharacterSet = charset
        ds.PatientName = person
        ds.InstitutionName = institution
        ds.AdmittingDiagnosesDescription = [institution, person.split("^")[0]]
        ds.save_as(f"{folder}/{name}.dcm", write_like_original=False)
    # A sequence item with its own character set; the data set's stays latin1 around it.
    ds = base_dataset(generate_uid())
    ds.SpecificCharacterSet = "ISO_IR 100"
    ds.PatientName = "Gérard^Ève"
    item = Dataset()
    item.SpecificCharacterSet = "ISO_IR 192"
    item.PatientName = "Ωμέγα^Ζωή"
    ds.OtherPatientIDsSequence = Sequence([item])
    ds.InstitutionName = "Hôtel-Dieu"
    ds.save_as(f"{folder}/item_charset.dcm", write_like_original=False)


if __name__ == "__main__":
    main()
