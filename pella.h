/*
 * pella.h - the public interface of libpella, a DICOM network and file toolkit.
 *
 * Valid C and C++. Every function here has C linkage and is exported from libpella.so;
 * nothing else is. Booleans cross the boundary as one byte (1 = success, 0 = failure).
 * No exception ever leaves the library: a failing call returns its failure value and writes
 * the reason to the protocol log.
 * Handles (element lists, association handles, query record lists, store server handles, query
 * records) are checked against the ones the library made and has not freed: a freed, foreign or
 * mistyped handle, or a query record named with another level than its own, makes the call fail
 * with its failure value and the reason in LastFailureText, touching nothing.
 *
 * Threads: every function may run on several threads at once, each on handles of its own
 * (element lists, bitmaps, association handles, query records and lists); one handle is never
 * used by two threads at once, and a handle is freed only once no other call uses it. Calls that
 * take no handle (EchoSCU, StoreSCU, SendSeries, StoreFileList, FindSCU, MoveSCU, PrintSCU, the
 * file, conversion, dump, DICOMDIR, ECG and thumbnail functions) may all run at once. Storage
 * servers run on threads of their own; starting and stopping servers may happen from any thread,
 * each server stopped once. SetLOG may be called at any time, also while servers and other calls
 * run: each log line goes whole to the old or the new file. LastFailureText reads the reason of
 * the calling thread's own last call. Callbacks run on the thread of the call that takes them.
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

/* The library's version; Version() writes PELLA_VERSION of the library actually loaded. */
#define PELLA_VERSION_MAJOR 0
#define PELLA_VERSION_MINOR 1
#define PELLA_VERSION_PATCH 0
#define PELLA_VERSION "0.1.0"
#define PELLA_VERSION_BUFFER_SIZE 32 /* bytes Version() may write, the zero included */

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Transfer syntax UIDs, for hosts and the command-line tool (no need to copy the texts)
 * ------------------------------------------------------------------------------------------- */

#define PELLA_IMPLICIT_VR_LITTLE_ENDIAN "1.2.840.10008.1.2"
#define PELLA_EXPLICIT_VR_LITTLE_ENDIAN "1.2.840.10008.1.2.1"
#define PELLA_DEFLATED_EXPLICIT_VR_LITTLE_ENDIAN "1.2.840.10008.1.2.1.99"
#define PELLA_EXPLICIT_VR_BIG_ENDIAN "1.2.840.10008.1.2.2"
#define PELLA_JPEG_BASELINE "1.2.840.10008.1.2.4.50"
#define PELLA_JPEG_EXTENDED "1.2.840.10008.1.2.4.51"
#define PELLA_JPEG_LOSSLESS "1.2.840.10008.1.2.4.57"
#define PELLA_JPEG_LOSSLESS_SV1 "1.2.840.10008.1.2.4.70"
#define PELLA_JPEG_LS_LOSSLESS "1.2.840.10008.1.2.4.80"
#define PELLA_JPEG_LS_NEAR_LOSSLESS "1.2.840.10008.1.2.4.81"
#define PELLA_JPEG_2000_LOSSLESS "1.2.840.10008.1.2.4.90"
#define PELLA_JPEG_2000 "1.2.840.10008.1.2.4.91"
#define PELLA_HTJ2K_LOSSLESS "1.2.840.10008.1.2.4.201"
#define PELLA_HTJ2K_LOSSLESS_RPCL "1.2.840.10008.1.2.4.202"
#define PELLA_HTJ2K "1.2.840.10008.1.2.4.203"
#define PELLA_RLE_LOSSLESS "1.2.840.10008.1.2.5"

/* ---------------------------------------------------------------------------------------------
 * SOP class UIDs of the services, for hosts and the command-line tool
 * ------------------------------------------------------------------------------------------- */

/* The Verification SOP class, the abstract syntax of C-ECHO. */
#define PELLA_VERIFICATION "1.2.840.10008.1.1"

/* Query/retrieve information models (C-FIND, C-MOVE) and the modality worklist (C-FIND). */
#define PELLA_PATIENT_ROOT_FIND "1.2.840.10008.5.1.4.1.2.1.1"
#define PELLA_PATIENT_ROOT_MOVE "1.2.840.10008.5.1.4.1.2.1.2"
#define PELLA_STUDY_ROOT_FIND "1.2.840.10008.5.1.4.1.2.2.1"
#define PELLA_STUDY_ROOT_MOVE "1.2.840.10008.5.1.4.1.2.2.2"
#define PELLA_MODALITY_WORKLIST_FIND "1.2.840.10008.5.1.4.31"

/* Print management: the meta classes (the abstract syntax proposed), the classes that travel on
 * their context, and the printer's well-known instance. */
#define PELLA_GRAYSCALE_PRINT_META "1.2.840.10008.5.1.1.9"
#define PELLA_COLOR_PRINT_META "1.2.840.10008.5.1.1.18"
#define PELLA_PRINTER "1.2.840.10008.5.1.1.16"
#define PELLA_PRINTER_INSTANCE "1.2.840.10008.5.1.1.17"
#define PELLA_FILM_SESSION "1.2.840.10008.5.1.1.1"
#define PELLA_FILM_BOX "1.2.840.10008.5.1.1.2"
#define PELLA_GRAYSCALE_IMAGE_BOX "1.2.840.10008.5.1.1.4"
#define PELLA_COLOR_IMAGE_BOX "1.2.840.10008.5.1.1.4.1"

/* ---------------------------------------------------------------------------------------------
 * DIMSE status values. Categories: 0 success; 0xFF00 and 0xFF01 pending (more responses
 * follow); 0xFE00 cancel; 0x0001, 0x0107, 0x0116 and 0xBxxx warning; every other value failure.
 * ------------------------------------------------------------------------------------------- */

#define PELLA_STATUS_SUCCESS 0x0000
#define PELLA_STATUS_PENDING 0xFF00
#define PELLA_STATUS_PENDING_WARNING 0xFF01 /* pending, optional keys not supported */
#define PELLA_STATUS_CANCEL 0xFE00
/* Warnings */
#define PELLA_STATUS_OPTIONAL_ATTRIBUTES_UNSUPPORTED 0x0001
#define PELLA_STATUS_ATTRIBUTE_LIST_ERROR 0x0107
#define PELLA_STATUS_ATTRIBUTE_VALUE_OUT_OF_RANGE 0x0116
#define PELLA_STATUS_SUBOPERATIONS_FAILED 0xB000      /* C-MOVE: some sub-operations failed */
#define PELLA_STATUS_COERCION_OF_DATA_ELEMENTS 0xB000 /* C-STORE */
#define PELLA_STATUS_ELEMENTS_DISCARDED 0xB006
#define PELLA_STATUS_DATA_SET_MISMATCH_WARNING 0xB007
/* Failures */
#define PELLA_STATUS_PROCESSING_FAILURE 0x0110
#define PELLA_STATUS_SOP_CLASS_NOT_SUPPORTED 0x0122
#define PELLA_STATUS_OUT_OF_RESOURCES 0xA700
#define PELLA_STATUS_OUT_OF_RESOURCES_MATCHES 0xA701
#define PELLA_STATUS_OUT_OF_RESOURCES_SUBOPERATIONS 0xA702
#define PELLA_STATUS_MOVE_DESTINATION_UNKNOWN 0xA801
#define PELLA_STATUS_IDENTIFIER_MISMATCH 0xA900 /* data set does not match SOP class */
#define PELLA_STATUS_CANNOT_UNDERSTAND 0xC000

/* 1 for a pending status: the response carries a match and more responses follow. */
#define PELLA_STATUS_IS_PENDING(status) \
    ((status) == PELLA_STATUS_PENDING || (status) == PELLA_STATUS_PENDING_WARNING)

/* Addition: 1 when `text` is a UID by the one rule used everywhere: after removing one
 * trailing zero byte or space, 1 to 64 characters of digit runs separated by single dots
 * ("1.2.840.10008.1.2"); 0 otherwise (".", "1..2", spaces, control characters, NULL). */
PELLA_API uint8_t IsValidUID(const char* text);

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
PELLA_API DataElement* GenerateTag(int32_t group, int32_t element, int32_t length, const void* value,
                                   const char* vr);

/* Frees every element of `list` and empties it; the list itself stays. */
PELLA_API void ClearTags(ElementList* list);

/* List helpers for hosts written in C, C++ or Python (ctypes). */
PELLA_API ElementList* CreateElementList(void);
PELLA_API void DestroyElementList(ElementList* list);               /* frees the elements too */
PELLA_API void AddElement(ElementList* list, DataElement* element); /* the list takes ownership */
PELLA_API int32_t ElementCount(const ElementList* list);
PELLA_API DataElement* ElementAt(const ElementList* list, int32_t index); /* NULL when out of range */
PELLA_API void FreeElement(DataElement* element); /* for an element never added to a list */

/* ---------------------------------------------------------------------------------------------
 * DICOM files
 * ------------------------------------------------------------------------------------------- */

/* What CheckDICOMFile finds. */
#define PELLA_FILE_PART10 0     /* a regular file with the preamble and "DICM" */
#define PELLA_FILE_MISSING 1    /* no such file */
#define PELLA_FILE_UNREADABLE 2 /* it cannot be looked at or opened (permissions, I/O error) */
#define PELLA_FILE_FOLDER 3
#define PELLA_FILE_NOT_REGULAR 4 /* a pipe, socket or device: never opened for reading */
#define PELLA_FILE_NOT_PART10 5  /* shorter than 132 bytes, or no "DICM" at offset 128 */

/* Addition: whether `fileName` is a DICOM Part 10 file, one of the PELLA_FILE_ values above; the
 * test every reader of Part 10 files makes. PELLA_FILE_UNREADABLE for NULL. */
PELLA_API int32_t CheckDICOMFile(const char* fileName);

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
 * `list` or `callback` is NULL, or when items nest deeper than 64 levels (the lines up to the
 * item that went too deep have been handed over; LastFailureText tells why). */
PELLA_API uint8_t DumpListToLines(ElementList* list, uint8_t keepVR, DumpLineCallback callback,
                                  void* context);

/* Addition: the data set of a Part 10 file in the DICOM JSON model, as one line of UTF-8 text:
 * tags "GGGGEEEE" as keys, "vr", and "Value" (texts, numbers, person names as "Alphabetic",
 * "Ideographic", "Phonetic"), "InlineBinary" (base64) or "BulkDataURI"; sequences as arrays of
 * objects. Texts are decoded by the Specific Character Set; undecodable bytes become U+FFFD. File
 * meta elements are not included. Binary values (and encapsulated pixel data) longer than
 * `inlineLimit` bytes are given as "file:///absolute/path?offset=N&length=M", the position and
 * size of their bytes in the file; a negative limit inlines every value. Returns a text the
 * caller frees with FreeText, or NULL when the file is not a readable Part 10 file. */
PELLA_API char* DICOMJson(const char* fileName, int32_t inlineLimit);

/* Addition: the elements of a file as text, one line per element in dcmdump's layout:
 * "(gggg,eeee) VR value  # length, multiplicity Keyword", two spaces of indentation per level,
 * every sequence and item with its markers whatever its length encoding, numbers and tags as
 * values, texts decoded by the Specific Character Set. A Part 10 file's text begins with the
 * line "# Dicom-File-Format"; a file without preamble is read as a bare data set (with its meta
 * group when it starts with one) and its text begins with "# Dicom-". Returns a text the caller
 * frees with FreeText, or NULL when the file cannot be read. */
PELLA_API char* DICOMText(const char* fileName);

/* Addition: frees a text returned by the library. NULL is ignored. */
PELLA_API void FreeText(char* text);

/* ---------------------------------------------------------------------------------------------
 * Bitmaps (helpers for hosts: the print preview, ECG pages and thumbnails draw into them)
 * Pixel formats: 8 (one palette index per pixel; a new 8-bit bitmap has the gray palette,
 * entry i = red i, green i, blue i), 24 (blue, green, red per pixel) and 32 (blue, green, red
 * and an unused byte). Rows run top-down, each BitmapRowBytes long (width x bytes per pixel,
 * no padding).
 * ------------------------------------------------------------------------------------------- */

/* Opaque bitmap. */
typedef struct Bitmap Bitmap;

/* A bitmap of width x height pixels in `bitsPerPixel` (8, 24 or 32), filled black. NULL for
 * another format, a negative size, or more than 65535 pixels a side or 1 GiB of pixels. */
PELLA_API Bitmap* CreateBitmap(int32_t width, int32_t height, int32_t bitsPerPixel);

/* Frees the bitmap. NULL is ignored. */
PELLA_API void FreeBitmap(Bitmap* bitmap);

/* Size and format; 0 for NULL. */
PELLA_API int32_t BitmapWidth(const Bitmap* bitmap);
PELLA_API int32_t BitmapHeight(const Bitmap* bitmap);
PELLA_API int32_t BitmapFormat(const Bitmap* bitmap); /* 8, 24 or 32 */
PELLA_API int32_t BitmapRowBytes(const Bitmap* bitmap);

/* The bytes of row `row` (0 = top); NULL when out of range. */
PELLA_API uint8_t* BitmapRow(Bitmap* bitmap, int32_t row);

/* Writes the bitmap as a PNG file (8-bit gray for an 8-bit gray-palette bitmap, RGB
 * otherwise) or as an uncompressed BMP file in its own format. 1 on success; 0 with the reason
 * in the log otherwise. */
PELLA_API uint8_t SaveBitmapPNG(const Bitmap* bitmap, const char* fileName);
PELLA_API uint8_t SaveBitmapBMP(const Bitmap* bitmap, const char* fileName);

/* Addition: draws into `bitmap` the page a print of `fileName` sends, so that a user can see it
 * before printing: the file is chosen by extension as for printing (".jpg"/".JPG" JPEG,
 * ".bmp"/".BMP" BMP, anything else DICOM); the first frame of a DICOM image is shown as
 * RenderImage's default options say (JPEG-compressed and big-endian files decoded first); colour
 * becomes gray by its luminance. The bitmap becomes 8-bit gray of the image's size. 1 on success; 0 with the
 * reason in the log otherwise (the bitmap is then unchanged). */
PELLA_API uint8_t RenderPrintImage(const char* fileName, Bitmap* bitmap);

/* Addition: how a gray DICOM image is shown by RenderImage and WriteThumbnail. Stored values
 * become modality values (the Modality LUT, else rescale slope and intercept), then 8-bit gray
 * levels through the VOI chosen by `voi`, then MONOCHROME1 or a Presentation LUT Shape of
 * INVERSE inverts them (a shape of IDENTITY keeps them). Colour images (RGB, YBR_FULL,
 * YBR_FULL_422) are shown as RGB whatever the VOI. */
#define PELLA_VOI_FILE 0    /* the file's first window, else its first VOI LUT, else min-max */
#define PELLA_VOI_MIN_MAX 1 /* from the smallest modality value of the frame (black) to the largest */
#define PELLA_VOI_WINDOW 2  /* windowCentre and windowWidth (at least 1) */
typedef struct ImageDisplayOptions {
    int32_t voi; /* PELLA_VOI_... */
    double windowCentre;
    double windowWidth;
    int32_t frame; /* the frame shown, from 1; 0 is the first too */
} ImageDisplayOptions;

/* Addition: RenderPrintImage with the display `options` (NULL: the defaults, all zero). 0 with
 * the reason in the log also for a frame the image does not have or a window width below 1. */
PELLA_API uint8_t RenderImage(const char* fileName, Bitmap* bitmap, const ImageDisplayOptions* options);

/* ---------------------------------------------------------------------------------------------
 * Waveforms and thumbnails
 * ------------------------------------------------------------------------------------------- */

/* Draws the waveform object in `dataList` (the data set as DICOMFile reads it; modality ECG, HD
 * or AU) as an ECG-paper page filling `bitmap` in its own size and format: grid (minor lines
 * every 20 pixels = 200 ms / 0.5 mV), header texts, and the channels of the first multiplex
 * group, 0-5 in the left column and 6 and up in the right one, each with a 1 mV calibration
 * pulse. Sequences and items of defined and of undefined length are read alike. Returns 1 when
 * a page was drawn; 0 (bitmap untouched, the reason in the log) for another modality, no
 * complete multiplex group, a first group without channel definitions, or an empty bitmap. */
PELLA_API uint8_t ECG2Bitmap(Bitmap* bitmap, ElementList* dataList);

/* Writes a JPEG thumbnail (quality 60) `width` pixels wide of the DICOM image `dicomFileName` to
 * `outputName` with its extension replaced by ".jpg" (appended when it has none). Gray images
 * are scaled bilinearly and shown as ImageDisplayOptions' defaults say, colour images scaled by
 * nearest neighbour; a one-pixel black frame surrounds the picture. Multi-frame images give
 * their first frame; JPEG lossless and baseline files are decompressed first. Returns 1
 * when the file was written; 0 (nothing written, the reason in the log) otherwise, also for a
 * width of 0 or a height that comes out 0. */
PELLA_API uint8_t CreateThumbnail(const char* outputName, const char* dicomFileName, int32_t width);

/* Addition: a thumbnail as CreateThumbnail draws it, with the display `options` (NULL: the
 * defaults), written to exactly `outputName`: PNG when it ends in ".png" (any case), JPEG
 * (quality 60) otherwise. Returns 1 when the file was written; 0 (nothing written, the reason in
 * the log) otherwise, also for a frame the image does not have or a window width below 1. */
PELLA_API uint8_t WriteThumbnail(const char* outputName, const char* dicomFileName, int32_t width,
                                 const ImageDisplayOptions* options);

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

/* Addition: limits of the associations this process requests (EchoSCU, StoreSCU, FindSCU,
 * MoveSCU, PrintSCU, SendSeries, OpenAssoc and the calls on its handle), process-wide. A field of
 * 0 or less means its default. A wait that runs out aborts the association, and the failing
 * call's reason says what timed out ("no response from the peer within 30 s"). Whatever the
 * limits, a response data set larger than 16 MiB aborts the association. `size` as in
 * StoreServerOptions: the host sets it to sizeof(ClientLimits). */
typedef struct ClientLimits {
    uint32_t size;          /* sizeof(ClientLimits) */
    int32_t timeoutSeconds; /* the longest wait for the connection, for the answer to the
                               A-ASSOCIATE-RQ and for each whole response; 0: 300, at most 86400.
                               Taken by associations opened after the call */
    int32_t maxResults;     /* pending responses one C-FIND or C-MOVE request may bring; the next
                               one aborts the association and its read fails; 0: 100000 */
    uint32_t maxPduLength;  /* the largest PDU these associations announce they take, in bytes,
                               from 4096 to 16 MiB (other values are brought into that range);
                               0: 131072. Peers sending smaller PDUs are served as before */
} ClientLimits;

/* Addition: the user identity the associations opened afterwards present (user identity
 * negotiation): `user` alone, or with `password` (not NULL) as username and passcode. NULL or
 * "" as user: none. Returns 1, or 0 for a user or password longer than 1024 bytes. */
PELLA_API uint8_t SetAssociationUser(const char* user, const char* password);

/* Addition: adds a user to a storage server's credentials file (made owner-only when missing),
 * or replaces its entry: with `password` (not NULL) as a salted PBKDF2-SHA256 hash, without one
 * as a user known by name alone. Returns 1 on success, 0 on failure (the file unchanged). */
PELLA_API uint8_t AddServerUser(const char* credentialsFile, const char* user, const char* password);

/* Addition: sets the limits above (NULL: the defaults). May be called at any time, from any
 * thread; associations opened afterwards take the new limits. */
PELLA_API void SetClientLimits(const ClientLimits* limits);

/* Addition: TLS settings, for the associations this process requests (SetTLSSettings) and for a
 * storage server (StoreServerOptions.tls). TLS 1.2 and 1.3 only, with the cipher suites of the
 * non-downgrading BCP 195 profile; certificates and keys are PEM files. A peer whose certificate
 * is refused (unknown authority, expired, another host's name), or a peer that does not speak TLS,
 * fails the connection with the reason in LastFailureText (a server logs it and carries on).
 * `size` as in StoreServerOptions: the host sets it to sizeof(TLSSettings). */
typedef struct TLSSettings {
    uint32_t size;                    /* sizeof(TLSSettings) */
    uint8_t enabled;                  /* 1: TLS; 0: plain TCP (the other fields are not read) */
    const char* certificateFile;      /* this side's certificate (with its chain): a server's own
                                         (required), a client's for mutual TLS (NULL: none) */
    const char* keyFile;              /* the certificate's private key, not encrypted */
    const char* caFile;               /* the CA certificates a peer's certificate must come from. A
                                         client checks the server's certificate and that it names the
                                         host called (NULL: the system's authorities); a server checks a
                                         client certificate when one is sent (NULL: none is asked for) */
    uint8_t noVerify;                 /* client: 1 accepts any server certificate and name (tests only) */
    uint8_t requireClientCertificate; /* server: 1 refuses clients without a certificate from
                                         caFile (mutual TLS) */
} TLSSettings;

/* Addition: TLS for the associations this process requests after the call (every call that
 * SetClientLimits names), process-wide, from any thread. NULL or `enabled` 0: plain TCP. Returns
 * 1 when set; 0 when a file cannot be read or the key does not match its certificate, with the
 * reason in LastFailureText and the previous setting kept. */
PELLA_API uint8_t SetTLSSettings(const TLSSettings* settings);

/* Copies the version text of the loaded library ("MAJOR.MINOR.PATCH", as PELLA_VERSION) into
 * `buffer`, which holds at least PELLA_VERSION_BUFFER_SIZE bytes. NULL is ignored. */
PELLA_API void Version(char* buffer);

/* Addition: copies the calling thread's last failure reason (as written to the protocol log)
 * into `buffer`, cut to `size` - 1 characters and zero-terminated; an empty text when the last
 * call on this thread did not fail. Every other exported function clears the reason on entry,
 * so read it right after the failing call. Returns the full length of the reason. */
PELLA_API int32_t LastFailureText(char* buffer, int32_t size);
/* Turns a bare data set file (no preamble, no meta group), encoded in `transferSyntaxUid`, into
 * a Part 10 file in place: 128 zero bytes, "DICM", a file meta group built from the data set's
 * SOP Class and SOP Instance UIDs, then the data set unchanged. The file is replaced only once
 * the new file is completely written. Returns 1 on success, 0 on failure (file unchanged). */
PELLA_API uint8_t AppendMetaHeader(const char* fileName, const char* transferSyntaxUid);

/* ---------------------------------------------------------------------------------------------
 * Changing element lists and saving them (additions)
 *
 * An element is named by a path: a tag as a keyword ("PatientName"), "gggg,eeee" or
 * "(gggg,eeee)", and for an element inside a sequence item the sequence, the item's index from 0
 * and a dot before each further step: "(0040,0275)[0].(0040,0009)"; "[*]" stands for every
 * item. `transferSyntaxUid` names the encoding the list's values stand in (as DICOMFile read
 * them; NULL for explicit VR little endian): sequences read with defined lengths are turned into
 * the flat form in it (every call with valid arguments does so, the values staying the same),
 * and new binary numbers take its byte order. A failing call changes no value; the reason is in
 * LastFailureText. Group length elements of the data set are recomputed after each change.
 * ------------------------------------------------------------------------------------------- */

/* PELLA_EDIT_MODIFY: the element, and every sequence and item on its path, must exist.
 * PELLA_EDIT_INSERT: a missing element is inserted in tag order, a missing sequence and the item
 * just past a sequence's last one are made on the way. */
#define PELLA_EDIT_MODIFY 0
#define PELLA_EDIT_INSERT 1
#define PELLA_UID_BUFFER_SIZE 65 /* bytes NewUID needs, the zero included */

/* Sets the element at `path` to `value`, text encoded by the element's VR (its own, else the
 * dictionary's): numbers ("\" between several), dates YYYYMMDD, times, person names, UIDs by
 * the UID rule, each within its VR's length. Returns 1 on success; 0 when the path leads through
 * an element that is no sequence, into a missing item, to a missing element with
 * PELLA_EDIT_MODIFY, to a sequence, or the text breaks the VR. */
PELLA_API uint8_t SetElementValue(ElementList* list, const char* transferSyntaxUid, const char* path,
                                  const char* value, int32_t mode);

/* Erases the element at `path` with all it holds, or with `everywhere` set (path: a tag only)
 * every element of that tag at any depth. Returns how many were erased (0 when there is none);
 * -1 on failure (a path through an element that is no sequence or into a missing item). */
PELLA_API int32_t EraseElement(ElementList* list, const char* transferSyntaxUid, const char* path,
                               uint8_t everywhere);

/* Writes a new UID ("2.25." and a random 128-bit number) into `buffer` of `size` bytes, at least
 * PELLA_UID_BUFFER_SIZE. Returns 1, or 0 when the buffer is too small (nothing written). */
PELLA_API uint8_t NewUID(char* buffer, int32_t size);

/* Writes `dataList`, encoded in `transferSyntaxUid` (NULL: the meta list's (0002,0010)), as the
 * Part 10 file `fileName`: the meta group is `metaList` (NULL or empty: a new one) with its SOP
 * Class and Instance UIDs following the data set's, the transfer syntax set, this library as the
 * implementation and the group length recomputed. The file is written beside `fileName` and
 * renamed over it once whole. Returns 1 on success; 0 (nothing changed) when the syntax is no
 * UID, the data set holds meta elements or ends inside a sequence, or the file cannot be
 * written. Neither list is changed. */
PELLA_API uint8_t SaveDICOMFile(const char* fileName, const ElementList* metaList,
                                const ElementList* dataList, const char* transferSyntaxUid);

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
 * "./Database"), but accepting every storage class of the standard. Returns NULL when the port
 * cannot be listened on or the folder cannot be written; port "0" picks a free port (see
 * StoreServerPort). */
PELLA_API StoreServerHandle* StartStoreServer(const char* storageFolder, const char* port,
                                              const char* databaseRoot);

/* StartStoreServer with the server's own AE title (NULL or empty: "PELLA"; cut to 16
 * characters). With `requireCalledAETitle` 1, an association whose called AE title is not
 * `aeTitle` is rejected (A-ASSOCIATE-RJ, "called AE title not recognized"). */
PELLA_API StoreServerHandle* StartStoreServerAs(const char* storageFolder, const char* port,
                                                const char* databaseRoot, const char* aeTitle,
                                                uint8_t requireCalledAETitle);

/* How a server started with StartStoreServerWithOptions serves; a zero field means its default.
 * The servers serve associations side by side, each on a thread of its own.
 * `size` is set by the host to sizeof(StoreServerOptions) of the header it is compiled with; the
 * library reads only the fields that size holds (fields added later keep their defaults for a
 * host built against an older header). A size too small for the first fields fails the start. */
typedef struct StoreServerOptions {
    uint32_t size;                /* sizeof(StoreServerOptions) */
    const char* aeTitle;          /* this server's AE title; NULL or "": "PELLA" */
    uint8_t requireCalledAETitle; /* 1: reject associations not called aeTitle (reason 7) */
    uint8_t originalSopClasses;   /* 1: only the storage classes StartStoreSCP takes; 0: every
                                     storage class of the standard (as StartStoreServer) */
    uint8_t sync;                 /* 1: each object, its folder and its index lines are flushed to
                                     the device before its sender is told success; 0: written to
                                     the file system (safe when the server dies, not the machine) */
    int32_t maxAssociations;      /* associations served at once; 0: 32. One more gets an
                                     A-ASSOCIATE-RJ (transient, local limit exceeded) */
    int32_t acseTimeoutSeconds;   /* wait for the A-ASSOCIATE-RQ of a connection; 0: 30 */
    int32_t dimseTimeoutSeconds;  /* wait for the peer within and between messages; 0: 60 */
    uint64_t maxObjectSize;       /* bytes of one received data set; a larger one aborts its
                                     association and leaves nothing on disk; 0: 4 GiB */
    uint64_t minFreeBytes;        /* free space kept on the storage folder's file system; 0: 1 GiB.
                                     A store that begins under it is answered 0xA700 (Out of
                                     Resources); one that would go under it aborts its association */
    uint32_t maxPduLength;        /* the largest PDU the server announces it takes, in bytes, from
                                     4096 to 16 MiB (other values are brought into that range);
                                     0: 131072. Peers sending smaller PDUs are served as before */
    uint8_t reindex;              /* 1: rebuild the archive index (index.sqlite or archiveIndex) from the
                                     stored files before listening; a missing index is always
                                     built, with progress on standard error */
    const char* peersFile;        /* Addition: the peers file (one peer a line, "AE HOST PORT
                                     [SERVICES]", "#" starts a comment, port 0: never called):
                                     the destinations C-MOVE sends to. NULL or "": no peer, every
                                     C-MOVE is answered 0xA801 (destination unknown); a file that
                                     cannot be read or parsed fails the start. HOST may be a CIDR
                                     range; SERVICES (echo,store,find,move,get,commit; all when
                                     absent) are what the peer may use: the contexts of the others
                                     are refused (user rejection) */
    uint8_t requireKnownPeers;    /* Addition: 1: a calling AE title not in peersFile, or one calling
                                     from an address its HOST does not admit, gets an
                                     A-ASSOCIATE-RJ (permanent, service user, calling AE title not
                                     recognised) */
    const char* usersFile;        /* Addition: the credentials file (`pella user add`) user identity
                                     negotiation checks usernames and passwords against; NULL or
                                     "": no identity is admitted. Unreadable: the start fails */
    uint8_t requireUser;          /* Addition: 1: an association without an admitted user identity
                                     gets an A-ASSOCIATE-RJ (permanent, service user, no reason) */
    const char* auditFile;        /* Addition: the audit trail, one JSON line per association and
                                     per study stored, queried or retrieved, appended (opened anew
                                     when rotated); NULL or "": none */
    uint64_t maxStorage;          /* Addition: bytes the stored objects may take (measured once at
                                     start, then counted); a store beyond it is answered 0xA700.
                                     0: no limit */
    const TLSSettings* tls;       /* Addition: every connection speaks TLS first (the handshake
                                     within acseTimeoutSeconds); NULL or not enabled: plain TCP.
                                     Files that cannot be used fail the start */
    const char* archiveIndex;     /* Addition: where the archive index is kept. NULL or "": the
                                     SQLite file <storage>/index.sqlite; "postgresql://user@host:
                                     port/db": a PostgreSQL database (made SQL_ASCII) that several
                                     servers on one storage folder share, its tables made or
                                     migrated at the start. No password in it: libpq reads
                                     PGPASSWORD or ~/.pgpass. While the database cannot be
                                     reached, stores are answered 0xA700 and never acknowledged
                                     unindexed; connections are tried again with growing pauses */
} StoreServerOptions;

/* Addition: receives the progress of MigrateArchiveIndex: the objects copied so far, and
 * `finished` 1 on the last call; `context` is the caller's. */
typedef void (*IndexMigrationCallback)(uint64_t copied, uint8_t finished, void* context);
/* Addition: copies the archive index of `storageFolder` into the PostgreSQL index at `target`
 * ("postgresql://user@host:port/db", no password in it), replacing its rows: the rows of
 * <storage>/index.sqlite when the folder has one, else the index rebuilt from the stored files.
 * `callback` (may be NULL) is told the progress. Returns the number of objects copied, or -1 on
 * failure (the reason in LastFailureText). */
PELLA_API int64_t MigrateArchiveIndex(const char* storageFolder, const char* target,
                                      IndexMigrationCallback callback, void* context);

/* StartStoreServer with options (NULL: the defaults). */
PELLA_API StoreServerHandle* StartStoreServerWithOptions(const char* storageFolder, const char* port,
                                                         const char* databaseRoot,
                                                         const StoreServerOptions* options);

/* The port the server listens on; 0 for NULL. */
PELLA_API int32_t StoreServerPort(const StoreServerHandle* server);

/* Stops the server as StopStoreSCP does and frees the handle. NULL is ignored. */
PELLA_API void StopStoreServer(StoreServerHandle* server);

/* ---------------------------------------------------------------------------------------------
 * Transfer-syntax conversion
 * Handled syntaxes: the native ones (implicit and explicit VR little endian, explicit VR big
 * endian) as source and target, every syntax whose pixel data the build's codecs decode as
 * source (RLE, JPEG baseline, extended and lossless among them) and every one they encode as
 * target (RLE; JPEG baseline and extended, lossy; JPEG lossless at 8 or 16 bits). Group lengths
 * are recomputed; pixel data are decoded, copied or encoded (one fragment per frame, a Basic
 * Offset Table for several) as the pair requires; frames split over fragments are found through
 * the Extended or Basic Offset Table. Photometric Interpretation and Planar Configuration follow
 * the codec. A lossy encoding gives the data set a new SOP Instance UID, Lossy Image Compression
 * "01" with ratio and method, and names the original in the Source Image Sequence; decoding
 * lossy pixels keeps Lossy Image Compression "01".
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
 * Anonymization (the Basic Application Level Confidentiality Profile)
 * Every attribute at every depth gets the profile's action, as its table says, under the
 * options chosen: removed, emptied, given a dummy value, kept, cleaned, or its UIDs replaced by
 * "2.25." and the first 128 bits of the HMAC-SHA256 of the old UID under the key in decimal
 * (the same UID and key always give the same new UID). Where the table leaves a choice that
 * depends on the class, the one that keeps any class valid is taken: a dummy value when a dummy
 * is among the choices, otherwise an empty value; a sequence so treated keeps no items. Private
 * attributes and group lengths are removed. Patient Identity Removed "YES", the
 * De-identification Method and its Code Sequence (one code for the profile and one per option)
 * are added. Pixel data and the transfer syntax stay as they are.
 * ------------------------------------------------------------------------------------------- */

/* Addition: the options of AnonymizeFile. A zero field means the basic profile's action. `size`
 * as in StoreServerOptions: the host sets it to sizeof(AnonymizeFileOptions). */
typedef struct AnonymizeFileOptions {
    uint32_t size;                        /* sizeof(AnonymizeFileOptions) */
    const char* key;                      /* the secret of the UID mapping; required */
    uint8_t retainUids;                   /* UIDs kept */
    uint8_t retainDeviceIdentity;         /* device serial numbers, station names, ... kept */
    uint8_t retainInstitutionIdentity;    /* institution name, address, department kept */
    uint8_t retainPatientCharacteristics; /* sex, age, size, weight, ... kept */
    uint8_t retainFullDates;              /* dates and times kept */
    uint8_t shiftDates;                   /* 1: dates and date-times moved by dateShiftDays */
    uint8_t cleanDescriptors;             /* descriptions kept with the data set's identifying
                                             words (names, IDs, ...) masked by "*" */
    uint8_t keepPrivate;                  /* private attributes kept */
    uint8_t allowBurnedIn;                /* 1: also images that may show burned-in text */
    int32_t dateShiftDays;                /* with shiftDates: days added (negative: earlier) */
} AnonymizeFileOptions;

/* Addition: anonymizes the Part 10 file `existingFileName` into the folder `outputFolder` (made
 * when missing) as "<new SOP Instance UID>.dcm"; a file of that name already there (another copy
 * of the same instance, or an earlier run) is never replaced and the call fails. A DICOMDIR is
 * refused: its record offsets would no longer hold. The path written
 * is copied into `writtenPath` (cut to `writtenPathSize` - 1 characters, zero-terminated) when it
 * is not NULL. Returns 1 when the file was written; 2 when it was refused because its pixels may
 * show burned-in text (Burned In Annotation "YES", or none in an ultrasound, secondary capture,
 * video or encapsulated document object) and allowBurnedIn is 0; 0 on any other failure, with
 * the reason in LastFailureText. Nothing is left in the folder unless 1 is returned. */
PELLA_API int32_t AnonymizeFile(const char* existingFileName, const char* outputFolder,
                                const AnonymizeFileOptions* options, char* writtenPath,
                                int32_t writtenPathSize);

/* ---------------------------------------------------------------------------------------------
 * Storage user (C-STORE)
 * ------------------------------------------------------------------------------------------- */

/* Sends one Part 10 file: reads it, opens an association for its SOP class with one
 * presentation context per candidate transfer syntax, best first: `wantedSyntax` when given
 * and the class has pixel data, the file's own syntax (any, sent unchanged when accepted),
 * then explicit and implicit VR little endian when the data set can reach them; sends it on
 * the best accepted context and reads the answer. With `convertFlag` 1 the data set
 * is converted into the syntax the peer accepted when that differs from the file's.
 * `callingAETitle` as for OpenAssoc. Returns 1 only when the object was answered with status 0
 * (warnings count as failure). */
PELLA_API uint8_t StoreSCU(const char* host, const char* port, char* callingAETitle,
                           const char* calledAETitle, const char* fileName, const char* wantedSyntax,
                           uint8_t convertFlag);

/* Sends a C-STORE-RQ and the data set in `dataList` (values in `fileSyntax`) on the open
 * association, on the first context proposed for `sopClassUid` that was accepted in a syntax
 * the data set can travel as. Without `convertFlag` the data set
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
                             const char* calledAETitle, const char* seriesFolder, const char* wantedSyntax,
                             uint8_t convertFlag);

/* Addition: receives the outcome of one file. `status` is the C-STORE status (0 = stored), -1
 * when the file was not sent or no valid response came, -2 for a response to another command;
 * `reason` tells why a file was not stored; for status 0 it is empty, or notes that the file went
 * in another transfer syntax than wanted (it could not be converted); `bytes` is the file's size. */
typedef void (*StoreOutcomeCallback)(const char* fileName, int32_t status, const char* reason, uint64_t bytes,
                                     void* context);

/* Addition: SendSeries, handing every file's outcome to `callback` (may be NULL) as soon as it
 * is known. Returns 1 only when EVERY file of the series was stored with status 0. The
 * presentation contexts of every file (one per candidate syntax) are proposed up front, up to
 * 128 per association; a file no accepted context can carry goes on the next association. */
PELLA_API uint8_t SendSeriesReport(const char* host, const char* port, char* callingAETitle,
                                   const char* calledAETitle, const char* seriesFolder,
                                   const char* wantedSyntax, uint8_t convertFlag,
                                   StoreOutcomeCallback callback, void* context);

/* Addition: sends `count` files in order over one association (more when their presentation
 * contexts exceed 128, or a file finds no accepted context it can travel on); every outcome
 * goes to `callback` (may be NULL).
 * Returns 1 only when every file was stored with status 0 (and count > 0). */
PELLA_API uint8_t StoreFileList(const char* host, const char* port, char* callingAETitle,
                                const char* calledAETitle, const char* const* fileNames, int32_t count,
                                const char* wantedSyntax, uint8_t convertFlag, StoreOutcomeCallback callback,
                                void* context);

/* ---------------------------------------------------------------------------------------------
 * Query records (C-FIND, C-MOVE, worklist)
 * A record is a fixed sequence of texts; the positions below are part of this interface. Each
 * field is a library-allocated zero-terminated text; NULL or "" means empty. A record passed to
 * the library must come from NewQueryRecord (WriteFindRQ and WriteMoveRQ free it), and its
 * fields must be set with SetQueryField. Levels are the texts "STUDY", "SERIES", "IMAGE",
 * "PATIENT" (a query of the Patient Root model only) and, for worklist records, "WORKLIST"
 * (exact, upper case).
 * ------------------------------------------------------------------------------------------- */

typedef struct StudyQueryRecord {
    char* patientName;            /*  0 (0010,0010) PN */
    char* patientID;              /*  1 (0010,0020) LO */
    char* patientAge;             /*  2 (0010,1010) AS */
    char* patientSex;             /*  3 (0010,0040) CS */
    char* patientBirthDate;       /*  4 (0010,0030) DA */
    char* studyDate;              /*  5 (0008,0020) DA */
    char* studyTime;              /*  6 (0008,0030) TM */
    char* studyID;                /*  7 (0020,0010) SH */
    char* studyDescription;       /*  8 (0008,1030) LO */
    char* studyInstanceUID;       /*  9 (0020,000D) UI */
    char* institutionName;        /* 10 (0008,0080) LO */
    char* referringPhysicianName; /* 11 (0008,0090) PN */
    char* modalitiesInStudy;      /* 12 (0008,0061) CS */
    char* accessionNumber;        /* 13 (0008,0050) SH */
} StudyQueryRecord;

typedef struct SeriesQueryRecord {
    char* seriesDate;        /* 0 (0008,0021) DA */
    char* seriesTime;        /* 1 (0008,0031) TM */
    char* seriesDescription; /* 2 (0008,103E) LO */
    char* bodyPartExamined;  /* 3 (0018,0015) CS */
    char* seriesInstanceUID; /* 4 (0020,000E) UI */
    char* seriesNumber;      /* 5 (0020,0011) IS */
    char* modality;          /* 6 (0008,0060) CS */
    char* studyInstanceUID;  /* 7 (0020,000D) UI */
    char* protocolName;      /* 8 (0018,1030) LO */
    char* patientPosition;   /* 9 (0018,5100) CS */
} SeriesQueryRecord;

typedef struct ImageQueryRecord {
    char* contentDate;             /*  0 (0008,0023) DA */
    char* contentTime;             /*  1 (0008,0033) TM */
    char* instanceNumber;          /*  2 (0020,0013) IS */
    char* acquisitionDate;         /*  3 (0008,0022) DA */
    char* acquisitionTime;         /*  4 (0008,0032) TM */
    char* acquisitionNumber;       /*  5 (0020,0012) IS */
    char* sopInstanceUID;          /*  6 (0008,0018) UI */
    char* sopClassUID;             /*  7 (0008,0016) UI */
    char* seriesNumber;            /*  8 (0020,0011) IS */
    char* seriesInstanceUID;       /*  9 (0020,000E) UI */
    char* studyInstanceUID;        /* 10 (0020,000D) UI */
    char* sliceLocation;           /* 11 (0020,1041) DS */
    char* imageType;               /* 12 (0008,0008) CS */
    char* numberOfFrames;          /* 13 (0028,0008) IS */
    char* imagePosition;           /* 14 (0020,0030) DS, retired */
    char* imageOrientationPatient; /* 15 (0020,0037) DS */
    char* imagePositionPatient;    /* 16 (0020,0032) DS */
    char* frameOfReferenceUID;     /* 17 (0020,0052) UI */
} ImageQueryRecord;

/* Addition: the PATIENT level, queried and retrieved with the Patient Root model. */
typedef struct PatientQueryRecord {
    char* patientName;                     /* 0 (0010,0010) PN */
    char* patientID;                       /* 1 (0010,0020) LO */
    char* issuerOfPatientID;               /* 2 (0010,0021) LO */
    char* patientBirthDate;                /* 3 (0010,0030) DA */
    char* patientSex;                      /* 4 (0010,0040) CS */
    char* numberOfPatientRelatedStudies;   /* 5 (0020,1200) IS */
    char* numberOfPatientRelatedSeries;    /* 6 (0020,1202) IS */
    char* numberOfPatientRelatedInstances; /* 7 (0020,1204) IS */
} PatientQueryRecord;

/* Every field but 6 goes into the request (an empty field as an empty key) and is filled from
 * responses; the step fields travel inside the one item of the Scheduled Procedure Step Sequence
 * (0040,0100). */
typedef struct WorklistQueryRecord {
    char* patientName;                       /*  0 (0010,0010) PN */
    char* patientID;                         /*  1 (0010,0020) LO */
    char* patientBirthDate;                  /*  2 (0010,0030) DA */
    char* patientSex;                        /*  3 (0010,0040) CS */
    char* accessionNumber;                   /*  4 (0008,0050) SH */
    char* requestingPhysician;               /*  5 (0032,1032) PN */
    char* unused;                            /*  6 always empty */
    char* contrastAllergies;                 /*  7 (0010,2110) LO */
    char* studyInstanceUID;                  /*  8 (0020,000D) UI */
    char* requestedProcedureDescription;     /*  9 (0032,1060) LO */
    char* scheduledProcedureStepStartTime;   /* 10 (0040,0003) TM, in the step item */
    char* scheduledProcedureStepStartDate;   /* 11 (0040,0002) DA, in the step item */
    char* modality;                          /* 12 (0008,0060) CS, in the step item */
    char* scheduledStationAETitle;           /* 13 (0040,0001) AE, in the step item */
    char* scheduledPerformingPhysicianName;  /* 14 (0040,0006) PN, in the step item */
    char* requestedContrastAgent;            /* 15 (0032,1070) LO, in the step item */
    char* scheduledProcedureStepID;          /* 16 (0040,0009) SH, in the step item */
    char* scheduledProcedureStepDescription; /* 17 (0040,0007) LO, in the step item */
    char* scheduledStationName;              /* 18 (0040,0010) SH, in the step item */
    char* scheduledProcedureStepLocation;    /* 19 (0040,0011) SH, in the step item */
    char* preMedication;                     /* 20 (0040,0012) LO, in the step item */
    char* requestedProcedureID;              /* 21 (0040,1001) SH */
    char* requestedProcedurePriority;        /* 22 (0040,1003) SH */
} WorklistQueryRecord;

/* An ordered list of record pointers; opaque. Slot 0 holds the query record of a request. */
typedef struct QueryRecordList QueryRecordList;

/* A record of the level with every field empty; NULL for an unknown level. */
PELLA_API void* NewQueryRecord(const char* level);
/* Frees a record of the level and its texts. NULL is ignored. */
PELLA_API void FreeQueryRecord(void* record, const char* level);
/* Fields of a record of the level: 14, 10, 18 or 23; 0 for an unknown level. */
PELLA_API int32_t QueryFieldCount(const char* level);
/* Describes a position: its tag, VR (two characters and a zero) and attribute keyword (static
 * text, "" for the worklist's unused position 6). 0 for an unknown level or position. Any
 * output pointer may be NULL. */
PELLA_API uint8_t QueryFieldInfo(const char* level, int32_t position, uint16_t* group, uint16_t* element,
                                 char* vr3, const char** keyword);
/* Addition: 1 when the position's attribute lives inside the item of a sequence (the worklist's
 * step fields: the Scheduled Procedure Step Sequence), whose tag goes to `group` and `element`
 * (either may be NULL); 0 for a top-level field, an unknown level or a bad position. */
PELLA_API uint8_t QueryFieldSequence(const char* level, int32_t position, uint16_t* group, uint16_t* element);
/* Replaces a field with a copy of `text` (NULL or "" empties it). 0 for a NULL record or a
 * position outside the level's record. */
PELLA_API uint8_t SetQueryField(void* record, const char* level, int32_t position, const char* text);
/* A field's text, owned by the record; "" when empty; NULL for a NULL record or a bad position. */
PELLA_API const char* GetQueryField(const void* record, const char* level, int32_t position);

/* A new, empty record list. */
PELLA_API QueryRecordList* NewQueryRecordList(void);
/* Appends a record pointer (NULL allowed); the list's owner frees the records. */
PELLA_API void AppendQueryRecord(QueryRecordList* list, void* record);
/* Records in the list (NULL entries included); 0 for NULL. */
PELLA_API int32_t QueryRecordCount(const QueryRecordList* list);
/* The record at `index`; NULL when out of range or for a freed query record's slot. */
PELLA_API void* QueryRecordAt(const QueryRecordList* list, int32_t index);
/* Empties the list without freeing its records (for a worklist caller's own query record). */
PELLA_API void EmptyQueryRecordList(QueryRecordList* list);
/* Frees every record as a record of the level, then the list. NULL is ignored. Nothing is freed
 * when a record is not a live record of the level or is in the list twice. */
PELLA_API void FreeQueryRecordList(QueryRecordList* list, const char* level);

/* ---------------------------------------------------------------------------------------------
 * Query and retrieve (C-FIND, worklist, C-MOVE) in the Study Root model
 * The study-root classes are PELLA_STUDY_ROOT_FIND and PELLA_STUDY_ROOT_MOVE, the worklist class
 * PELLA_MODALITY_WORKLIST_FIND. Response readers return the DIMSE status (PELLA_STATUS_SUCCESS,
 * PELLA_STATUS_IS_PENDING for pending ones) or -1 when no valid response could be read: none came, it
 * answers another command, it carries no Status, or its identifier cannot be decoded.
 * Every identifier built from a record whose keys hold non-ASCII text declares the Specific
 * Character Set (0008,0005) they are in: ISO_IR 192 when that text is UTF-8, else ISO_IR 100
 * (other 8-bit text is taken as Latin-1); plain ASCII keys declare none.
 * ------------------------------------------------------------------------------------------- */

/* Sends a C-FIND-RQ whose identifier holds every key of the level (empty keys included) from
 * the record in slot 0 of `list`. That record is freed and its slot set to NULL; empty the list
 * (EmptyQueryRecordList) before reading responses into it. A level other than "STUDY",
 * "SERIES", "IMAGE" or "PATIENT" is refused (0) before anything is freed or sent. */
PELLA_API uint8_t WriteFindRQ(PDU* handle, QueryRecordList* list, const char* sopClassUid, const char* level);
/* Reads one C-FIND-RSP; for a status other than 0 and -1 appends a record of the level filled
 * from the response's top-level attributes (a failure status appends a record too: check the
 * status before taking it as a match). */
PELLA_API int32_t ReadFindRSP(PDU* handle, QueryRecordList* list, const char* level);
/* A whole query: association, request, responses until the final one, release; Study Root,
 * or Patient Root at the PATIENT level. On entry slot 0 holds the query record; on return the
 * list holds the records received. 1 when the query ended with status 0. `callingAETitle` as
 * for OpenAssoc. */
PELLA_API uint8_t FindSCU(const char* host, const char* port, char* callingAETitle, const char* calledAETitle,
                          const char* level, QueryRecordList* list);
/* Frees every record of the list as a record of the level (NULL slots skipped); the list stays,
 * empty. */
PELLA_API void ClearQuery(QueryRecordList* list, const char* level);

/* Addition: receives one match of FindEach: a record of the query's level filled from a pending
 * response, owned by the library and freed when the callback returns (copy what you keep), and
 * the match's number (1, 2, ...); `context` is the caller's. */
typedef void (*FindMatchCallback)(const void* record, int32_t number, void* context);
/* Addition: a whole query on an open association with each match handed to `callback` as it
 * arrives (memory stays bounded however many come). Sends the identifier of `record` (which
 * stays the caller's) at `level`: "STUDY", "SERIES" or "IMAGE" as WriteFindRQ, "WORKLIST" as
 * WriteWLFindRQ; reads responses until one is not pending. A failure response's record is no
 * match and is not handed over. Returns the final status (0 = success), or -1 when the request
 * could not be sent or no valid response was read (the reason in LastFailureText). */
PELLA_API int32_t FindEach(PDU* handle, const void* record, const char* sopClassUid, const char* level,
                           FindMatchCallback callback, void* context);

/* Sends a worklist C-FIND-RQ built from the worklist record in slot 0 (which stays the
 * caller's: free it and empty the list before reading responses). */
PELLA_API uint8_t WriteWLFindRQ(PDU* handle, QueryRecordList* list, const char* sopClassUid);
/* Reads one worklist response; for a status other than 0 and -1 appends a worklist record (the
 * step attributes from inside the Scheduled Procedure Step Sequence). */
PELLA_API int32_t ReadWLFindRSP(PDU* handle, QueryRecordList* list);
/* Frees every record of the list as a worklist record (NULL slots skipped); the list stays. */
PELLA_API void ClearWL(QueryRecordList* list);

/* Sends a C-MOVE-RQ for the objects the record in slot 0 selects at the level, to be sent to
 * `moveDestination` (an AE title the peer knows). Frees the record as WriteFindRQ does. */
PELLA_API uint8_t WriteMoveRQ(PDU* handle, QueryRecordList* list, const char* sopClassUid, const char* level,
                              const char* moveDestination);
/* Reads one C-MOVE-RSP: its status or -1. `remaining` (may be NULL) receives the Number of
 * Remaining Sub-operations (0 when absent) of a C-MOVE-RSP, -1 for another message, and is left
 * alone when nothing could be read. */
PELLA_API int32_t ReadMoveRSP(PDU* handle, int32_t* remaining);
/* Addition: ReadMoveRSP with every count of the response: counts[0] remaining, [1] completed,
 * [2] failed, [3] warning; -1 where the response has none (`counts` may be NULL). */
PELLA_API int32_t ReadMoveRSPCounts(PDU* handle, int32_t* counts);
/* A whole move: association, request, responses while pending, release. 1 when the final
 * status is 0 (warnings such as 0xB000 count as failure). */
PELLA_API uint8_t MoveSCU(const char* host, const char* port, char* callingAETitle, const char* calledAETitle,
                          const char* moveDestination, const char* level, QueryRecordList* list);
/* Addition: a whole C-GET: the association proposes the GET class of `sopClassUid`'s model
 * (Patient or Study Root; its FIND, MOVE or GET class may be given) and the storage classes
 * with this side as their provider (role selection); the request is built from the record in
 * slot 0 at the level, which is freed as WriteMoveRQ does. Every object that comes is filed
 * below `outDir` as the storage server files (<Study>/<Series>/<SOP Instance>.dcm and the
 * index files) and answered; then the release. Returns the final status (0 success, 0xB000
 * some failed), or -1 when the association, the request or a response failed (the reason in
 * LastFailureText). `counts` (may be NULL) receives the last response's counts: [0] remaining,
 * [1] completed, [2] failed, [3] warning, -1 where it had none. `callingAETitle` as for
 * MoveSCU. */
PELLA_API int32_t GetSCU(const char* host, const char* port, char* callingAETitle, const char* calledAETitle,
                         const char* sopClassUid, const char* level, QueryRecordList* list,
                         const char* outDir, int32_t* counts);

/* ---------------------------------------------------------------------------------------------
 * Print (Basic Grayscale Print Management)
 * Each field points to a zero-terminated text; a NULL pointer or an empty text leaves the
 * attribute out of what is sent.
 * ------------------------------------------------------------------------------------------- */

typedef struct FilmSessionParameters {
    const char* numberOfCopies;  /* (2000,0010) IS */
    const char* printPriority;   /* (2000,0020) CS: HIGH, MED, LOW */
    const char* mediumType;      /* (2000,0030) CS: PAPER, CLEAR FILM, BLUE FILM, ... */
    const char* filmDestination; /* (2000,0040) CS: MAGAZINE, PROCESSOR, BIN_i */
} FilmSessionParameters;

typedef struct FilmBoxParameters {
    const char* imageDisplayFormat; /* (2010,0010) ST: e.g. "STANDARD\\2,2"; "STANDARD\\1,1" when empty */
    const char* filmOrientation;    /* (2010,0040) CS: PORTRAIT, LANDSCAPE */
    const char* filmSizeID;         /* (2010,0050) CS: 14INX17IN, 8INX10IN, ... */
    const char* magnificationType;  /* (2010,0060) CS: REPLICATE, BILINEAR, CUBIC, NONE */
    const char* borderDensity;      /* (2010,0100) CS: BLACK, WHITE or a number */
    const char* emptyImageDensity;  /* (2010,0110) CS: BLACK, WHITE or a number */
    const char* minDensity;         /* (2010,0120) US: a decimal number 0-65535 */
    const char* maxDensity;         /* (2010,0130) US: a decimal number 0-65535 */
} FilmBoxParameters;

/* Prints one image (a DICOM, JPEG or BMP file, chosen by extension as RenderPrintImage does) on
 * the printer at host:port: printer status (N-GET, its failure does not stop the print), film
 * session and film box (N-CREATE), the film box's first image box (N-SET), print (N-ACTION) and
 * deletion of the film box (N-DELETE), then release. `callingAETitle` as for OpenAssoc. Either
 * parameter record may be NULL (nothing of it is sent,
 * but for the one-image Image Display Format a film box must have). The image is loaded, and Min and Max
 * Density checked (decimal numbers 0-65535, sent as US), before any association. A response
 * with any status but success (warnings included), without a status, or answering another
 * message fails its step; a printer status that cannot be read does not stop the print.
 * Returns 1 only when the film was printed and the film box deleted; 0 otherwise, each step's
 * outcome in the log. */
PELLA_API uint8_t PrintSCU(const char* fileName, const char* host, const char* port, char* callingAETitle,
                           const char* calledAETitle, const FilmSessionParameters* filmSession,
                           const FilmBoxParameters* filmBox);

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
