// The interface of libpella_htj2k.so, the module that encodes High-Throughput JPEG 2000 frames
// through OpenJPH. libpella loads it on the first HTJ2K encode (data/codec/openjph_encoder.cpp)
// rather than linking OpenJPH, whose static tables every run of every command would otherwise
// build at load. Plain C types only: the module and libpella meet at two C functions, whose names
// carry the interface's version so that a module of another version is refused by name.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// One native frame (8 or 16 bits allocated, little endian, checked by the caller) and the fields
// of its format the encoder needs.
struct PellaHtj2kFrame {
    const uint8_t* bytes;
    size_t size;
    uint32_t rows;
    uint32_t columns;
    uint16_t samplesPerPixel;
    uint16_t bitsAllocated;
    uint16_t bitsStored;
    uint8_t isSigned;
    uint8_t planar;
    uint8_t colourTransform;  // RGB samples through the reversible colour transform
};

// Receives the whole codestream, once.
typedef void (*PellaHtj2kOutput)(void* context, const uint8_t* bytes, size_t size);

// Encodes `frame` losslessly and hands the codestream to `output`: 1; otherwise 0 with the reason
// in `reason` (NUL-terminated, cut to `reasonSize`).
typedef int (*PellaHtj2kEncodeFrame)(const PellaHtj2kFrame* frame, PellaHtj2kOutput output, void* context,
                                     char* reason, size_t reasonSize);

// The encoding library and its version, e.g. "OpenJPH 0.9.0".
typedef const char* (*PellaHtj2kLibrary)(void);
}

#define PELLA_HTJ2K_MODULE_FILE "libpella_htj2k.so"
#define PELLA_HTJ2K_ENCODE_FRAME "pella_htj2k_encode_frame_1"
#define PELLA_HTJ2K_LIBRARY "pella_htj2k_library_1"
