/*
 * pella.h - the public interface of libpella, a DICOM network and file toolkit.
 *
 * Valid C and C++. Every function here has C linkage and is exported from libpella.so;
 * nothing else is. Booleans cross the boundary as one byte (1 = success, 0 = failure).
 * No exception ever leaves the library: a failing call returns its failure value and writes
 * the reason to the protocol log.
 */
#ifndef PELLA_H
#define PELLA_H

#include <stddef.h>
#include <stdint.h>

#if defined(PELLA_BUILDING_LIBRARY)
#define PELLA_API __attribute__((visibility("default")))
#else
#define PELLA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Data elements and element lists
 * ------------------------------------------------------------------------------------------- */

/* One DICOM data element. Value bytes stay exactly as they stand in the encoding that produced
 * them. `value` is owned by the element and holds exactly `length` bytes; it is present only
 * when `length` is neither 0 nor -1 (undefined length). */
typedef struct DataElement {
    uint16_t group;
    uint16_t element;
    char vr[4]; /* two ASCII characters and two zero bytes; "DL" for items and delimiters */
    int32_t length;
    uint8_t* value;
} DataElement;

/* An ordered list of elements in encoding order; owns its elements. Opaque to the host. */
typedef struct ElementList ElementList;

/* Makes one element (a copy of `length` bytes of `value` when length is neither 0 nor -1).
 * The host appends it to a list with AddElement, or frees it with FreeElement. */
PELLA_API DataElement* GenerateTag(int32_t group, int32_t element, int32_t length,
                                   const void* value, const char* vr);

/* Frees every element of `list` and empties it; the list itself stays. */
PELLA_API void ClearTags(ElementList* list);

/* List helpers for hosts written in C, C++ or Python (ctypes). */
PELLA_API ElementList* CreateElementList(void);
PELLA_API void DestroyElementList(ElementList* list); /* frees the elements too */
PELLA_API void AddElement(ElementList* list, DataElement* element); /* the list takes ownership */
PELLA_API int32_t ElementCount(const ElementList* list);
PELLA_API DataElement* ElementAt(const ElementList* list, int32_t index); /* NULL when out of range */
PELLA_API void FreeElement(DataElement* element); /* for an element never added to a list */

/* ---------------------------------------------------------------------------------------------
 * DICOM files
 * ------------------------------------------------------------------------------------------- */

/* Reads a Part 10 file (128-byte preamble and "DICM" required) into the file meta elements and
 * the data-set elements, appending to both lists. On success stores 1 in *explicitOut when the
 * data set is explicit VR (little or big endian), 0 when implicit, and returns 1. On failure
 * returns 0 and leaves *explicitOut alone; the lists may hold what was read before the failure
 * and are freed by the caller with ClearTags in every case. */
PELLA_API uint8_t DICOMFile(const char* fileName, ElementList* metaList, ElementList* dataList,
                            uint8_t* explicitOut);

/* Reads every element in front of the pixel data of a Part 10 file (preamble and "DICM"
 * required), file meta group included, with values, into one list (appending). Returns 1 when
 * the file was read up to the pixel data or its end, else 0; the list may then hold what was
 * read before the failure. The caller frees the elements with ClearTags in every case. */
PELLA_API uint8_t DICOMHeader(const char* fileName, ElementList* list);

/* ---------------------------------------------------------------------------------------------
 * Dumps (additions for hosts without a text control of the library's own)
 * ------------------------------------------------------------------------------------------- */

/* Receives one dump line (zero-terminated, no line break); `context` is the caller's. */
typedef void (*DumpLineCallback)(const char* line, void* context);

/* Hands one line per element of `list` to `callback`, as the dump into a text view shows it:
 *   "(gggg, eeee), length, VR  "value" - name"  for values of 1 to 255 bytes,
 *   "(gggg, eeee), length, VR - name"             for values of 256 bytes or more,
 *   "(gggg, eeee), VR - name"                     for empty and undefined-length elements,
 * names from the built-in data dictionary ("*** Unidentified ***" for unknown tags), and
 * "....." in front of each line per open undefined-length item. With keepVR 0 the VR of every
 * known element is replaced by the dictionary's (for implicit VR data). Returns 1, or 0 when
 * `list` or `callback` is NULL. */
PELLA_API uint8_t DumpListToLines(ElementList* list, uint8_t keepVR, DumpLineCallback callback,
                                  void* context);

/* ---------------------------------------------------------------------------------------------
 * Associations and verification (C-ECHO)
 * ------------------------------------------------------------------------------------------- */

/* The association handle; opaque. One handle serves one association and one thread at a time. */
typedef struct PDU PDU;

/* A new association handle; NULL when it cannot be made. */
PELLA_API PDU* NewPDU(void);

/* Frees the handle, releasing a still open association first. NULL is ignored. */
PELLA_API void DeletePDU(PDU* handle);

/* Opens an association to host:port for one abstract syntax, offering `transferSyntax` (may be
 * NULL) and implicit VR little endian. `callingAETitle` is a writable buffer of at least 17
 * bytes: an empty title is replaced there by "KESTRA          ". Titles longer than 16
 * characters are cut to 16. Returns 1 when at least one presentation context was accepted. */
PELLA_API uint8_t OpenAssoc(PDU* handle, const char* host, const char* port, char* callingAETitle,
                            const char* calledAETitle, const char* abstractSyntax,
                            const char* transferSyntax);

/* Releases the association (A-RELEASE-RQ, waits at most 30 s for the reply) and closes the
 * connection. Always 1; safe on a handle that is not connected. */
PELLA_API uint8_t CloseAssoc(PDU* handle);

/* Sends a C-ECHO-RQ for the SOP class on the open association. */
PELLA_API uint8_t WriteEchoRQ(PDU* handle, const char* sopClassUid);

/* Reads the C-ECHO-RSP: 1 when its status is 0. */
PELLA_API uint8_t ReadEchoRSP(PDU* handle);

/* One whole verification: association, C-ECHO, release. `callingAETitle` as for OpenAssoc. */
PELLA_API uint8_t EchoSCU(const char* host, const char* port, char* callingAETitle,
                          const char* calledAETitle);

/* Sets the protocol log: level 0 failures only, 1 association progress, 2 message dumps,
 * 3 hex dumps. An empty or NULL file name keeps the previous file. */
PELLA_API void SetLOG(const char* fileName, int32_t level);

/* Copies the library's version text into `buffer` (at least 1 byte; the text is empty). */
PELLA_API void Version(char* buffer);

/* Addition: copies the calling thread's last failure reason (as written to the protocol log)
 * into `buffer`, cut to `size` - 1 characters and zero-terminated; an empty text when the last
 * call on this thread did not fail with a reason. Returns the full length of the reason. */
PELLA_API int32_t LastFailureText(char* buffer, int32_t size);
/* Turns a bare data set file (no preamble, no meta group), encoded in `transferSyntaxUid`, into
 * a Part 10 file in place: 128 zero bytes, "DICM", a file meta group built from the data set's
 * SOP Class and SOP Instance UIDs, then the data set unchanged. The file is replaced only once
 * the new file is completely written. Returns 1 on success, 0 on failure (file unchanged). */
PELLA_API uint8_t AppendMetaHeader(const char* fileName, const char* transferSyntaxUid);

/* ---------------------------------------------------------------------------------------------
 * Storage server (C-STORE and C-ECHO as acceptor)
 * ------------------------------------------------------------------------------------------- */

/* Starts a storage server on `port` (decimal text or service name) in the background and
 * returns at once. Received objects are written below `storageFolder` as
 * <folder>/<Study UID>/<Series UID>/<SOP Instance UID>.dcm and indexed below "./Database"
 * (KPStudy.dir, Series.dir, Image.dir); each object is on disk and indexed before its C-STORE
 * response says success. Nothing is reported when the port cannot be listened on (see
 * StartStoreServer for a call that reports it). Every call starts one more server. */
PELLA_API void StartStoreSCP(const char* storageFolder, const char* port);

/* Addition: stops every server started with StartStoreSCP: no new association is accepted, the
 * one in progress ends, and the call returns once every acknowledged object is on disk. */
PELLA_API void StopStoreSCP(void);

/* Addition: a storage server with its own database root, as a handle. */
typedef struct StoreServerHandle StoreServerHandle;

/* Starts a server like StartStoreSCP, indexing below `databaseRoot` (NULL or empty:
 * "./Database"). Returns NULL when the port cannot be listened on or the folder is empty;
 * port "0" picks a free port (see StoreServerPort). */
PELLA_API StoreServerHandle* StartStoreServer(const char* storageFolder, const char* port,
                                              const char* databaseRoot);

/* The port the server listens on; 0 for NULL. */
PELLA_API int32_t StoreServerPort(const StoreServerHandle* server);

/* Stops the server as StopStoreSCP does and frees the handle. NULL is ignored. */
PELLA_API void StopStoreServer(StoreServerHandle* server);

/* ---------------------------------------------------------------------------------------------
 * Transfer-syntax conversion
 * Handled syntaxes, as source and as target: implicit VR little endian "1.2.840.10008.1.2",
 * explicit VR little endian "1.2.840.10008.1.2.1", explicit VR big endian "1.2.840.10008.1.2.2",
 * JPEG lossless "1.2.840.10008.1.2.4.70" (8 or 16 bits allocated) and JPEG baseline
 * "1.2.840.10008.1.2.4.50" (8 bits allocated). Group lengths are recomputed; pixel data are
 * decompressed, copied or compressed (one fragment per frame) as the pair requires.
 * ------------------------------------------------------------------------------------------- */

/* Re-encodes the data-set elements of `list` from `sourceSyntax` into `targetSyntax`. The list
 * is replaced in either case: after a failure it holds the elements converted before it (free
 * them with ClearTags). Returns 1 on success; 0 with the reason in the log otherwise. */
PELLA_API uint8_t ConvertTS(ElementList* list, const char* targetSyntax, const char* sourceSyntax);

/* Writes the Part 10 file `existingFileName` to `newFileName` in `targetSyntax` (an existing
 * file is overwritten). A file already in that syntax is copied byte for byte. Returns 1 on
 * success; 0 with the reason in the log otherwise, and then nothing is written. */
PELLA_API uint8_t ConvertFileTS(const char* newFileName, const char* existingFileName,
                                const char* targetSyntax);

/* ---------------------------------------------------------------------------------------------
 * Storage user (C-STORE)
 * ------------------------------------------------------------------------------------------- */

/* Sends one Part 10 file: reads it, opens an association for its SOP class (offering
 * `wantedSyntax` when given and the class has pixel data, then the file's own syntax, then
 * implicit VR little endian), sends it and reads the answer. With `convertFlag` 1 the data set
 * is converted into the syntax the peer accepted when that differs from the file's.
 * `callingAETitle` as for OpenAssoc. Returns 1 only when the object was answered with status 0
 * (warnings count as failure). */
PELLA_API uint8_t StoreSCU(const char* host, const char* port, char* callingAETitle,
                           const char* calledAETitle, const char* fileName,
                           const char* wantedSyntax, uint8_t convertFlag);

/* Sends a C-STORE-RQ and the data set in `dataList` (values in `fileSyntax`) on the open
 * association, on the context proposed for `sopClassUid`. Without `convertFlag` the data set
 * goes as read; that is refused when the accepted syntax is not the file's and the two are not
 * implicit and explicit VR little endian. The list keeps its elements and values. */
PELLA_API uint8_t WriteStoreRQ(PDU* handle, ElementList* dataList, const char* sopClassUid,
                               const char* fileSyntax, uint8_t convertFlag);

/* Reads the C-STORE-RSP: its status (0 = success), -1 when no valid response could be read,
 * -2 when the response is not a C-STORE-RSP. */
PELLA_API int32_t ReadStoreRSP(PDU* handle);

/* Sends every file of a series folder over one association: the files named by the folder's
 * "Image.dir" (field 3 of each line + ".dcm", never outside the folder), or else every Part 10
 * file directly in the folder, in name order. Returns 1 when the LAST file was stored with
 * status 0; earlier failures do not show in the result (use SendSeriesReport to see them). */
PELLA_API uint8_t SendSeries(const char* host, const char* port, char* callingAETitle,
                             const char* calledAETitle, const char* seriesFolder,
                             const char* wantedSyntax, uint8_t convertFlag);

/* Addition: receives the outcome of one file. `status` is the C-STORE status (0 = stored), -1
 * when the file was not sent or no valid response came, -2 for a response to another command;
 * `reason` tells why a file was not stored (empty for status 0); `bytes` is the file's size. */
typedef void (*StoreOutcomeCallback)(const char* fileName, int32_t status, const char* reason,
                                     uint64_t bytes, void* context);

/* Addition: SendSeries, handing every file's outcome to `callback` (may be NULL) as soon as it
 * is known. Returns 1 only when EVERY file of the series was stored with status 0. A file of
 * another SOP class than the one before it goes on an association of its own class. */
PELLA_API uint8_t SendSeriesReport(const char* host, const char* port, char* callingAETitle,
                                   const char* calledAETitle, const char* seriesFolder,
                                   const char* wantedSyntax, uint8_t convertFlag,
                                   StoreOutcomeCallback callback, void* context);

/* Addition: sends `count` files in order over one association, opening a new one whenever the
 * SOP class changes from one file to the next; every outcome goes to `callback` (may be NULL).
 * Returns 1 only when every file was stored with status 0 (and count > 0). */
PELLA_API uint8_t StoreFileList(const char* host, const char* port, char* callingAETitle,
                                const char* calledAETitle, const char* const* fileNames,
                                int32_t count, const char* wantedSyntax, uint8_t convertFlag,
                                StoreOutcomeCallback callback, void* context);

/* ---------------------------------------------------------------------------------------------
 * Media (DICOMDIR)
 * ------------------------------------------------------------------------------------------- */

/* Reads the directory records of a DICOMDIR file into `list` (appending), in hierarchical order
 * whatever order they are stored in: each PATIENT record, then its STUDY records, each followed
 * by its SERIES records, each followed by its instance records (IMAGE and any other type).
 * Per record: the record type element (0004,1430) ("PATIENT ", "STUDY ", "SERIES" for the
 * upper three levels, the stored value below them), then the record's elements after it in
 * stored order, items and delimiters of nested undefined-length sequences included. The
 * offset elements in front of the type are left out. Upper-level records of another type are
 * skipped with their lower levels. The file is read in the transfer syntax its meta header
 * names; values keep that syntax's byte order. A record offset outside the file or leading
 * back to a record already read ends its level. Returns 1 when the file has a preamble, "DICM"
 * and a root offset (0004,1200); 0 otherwise. The caller frees the elements with ClearTags. */
PELLA_API uint8_t ReadDCMDIR(const char* fileName, ElementList* list);

#ifdef __cplusplus
}
#endif

#endif /* PELLA_H */
