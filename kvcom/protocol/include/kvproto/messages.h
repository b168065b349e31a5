// The short messages the PC sends: the start every System Exclusive message
// to the device shares, a parameter message's header, the identity request
// and the requests for a program image and for the memory dump.
#pragma once

#include <algorithm>
#include <span>

namespace kvcom::message {

inline constexpr unsigned char kStart = 0xF0;
// Every System Exclusive message of the unit, both ways, begins with F0 and
// the maker's three bytes.
inline constexpr unsigned char kIntro[4] = {0xF0, 0x00, 0x20, 0x18};
inline constexpr int kIntroLength = 4;
inline constexpr unsigned char kEnd = 0xF7;
inline constexpr unsigned char kParamCommand = 0x2D;
inline constexpr unsigned char kIdentityCommand = 0x06;
inline constexpr unsigned char kImageRequestCommand = 0x02;
inline constexpr unsigned char kDumpRequestCommand = 0x00;

// Whether `bytes` begins with the intro (F0 and the maker's bytes).
inline bool HasIntro(std::span<const unsigned char> bytes) {
    return bytes.size() >= kIntroLength && std::equal(kIntro, kIntro + kIntroLength, bytes.begin());
}

// A parameter message's selector byte, and the selector of the whole device.
inline constexpr int kSelectorByte = 6;
inline constexpr int kSelectorDevice = 0x01;

// F0, the maker's three bytes, the device and the command; returns 6.
inline int PutStart(unsigned char* buf, unsigned char device, unsigned char command) {
    for (int i = 0; i < kIntroLength; ++i) buf[i] = kIntro[i];
    buf[4] = device;
    buf[5] = command;
    return 6;
}

// A parameter message up to its data: the start, the selector and the two
// code bytes; returns 9.
inline int PutParamHeader(unsigned char* buf, unsigned char device, int selector, int code) {
    int n = PutStart(buf, device, kParamCommand);
    buf[n++] = static_cast<unsigned char>(selector & 0x7F);
    buf[n++] = static_cast<unsigned char>((code >> 8) & 0x7F);
    buf[n++] = static_cast<unsigned char>(code & 0x0F);
    return n;
}

// The identity request to `device`; returns its length, 8.
inline int PutIdentityRequest(unsigned char* buf, unsigned char device) {
    int n = PutStart(buf, device, kIdentityCommand);
    buf[n++] = 0x01;
    buf[n++] = kEnd;
    return n;
}

// The request for the image of `memory` (0 = the working program); returns
// its length, 8.
inline int PutImageRequest(unsigned char* buf, unsigned char device, unsigned char memory) {
    int n = PutStart(buf, device, kImageRequestCommand);
    buf[n++] = memory;
    buf[n++] = kEnd;
    return n;
}

// The request for the whole memory dump; returns its length, 7.
inline int PutDumpRequest(unsigned char* buf, unsigned char device) {
    int n = PutStart(buf, device, kDumpRequestCommand);
    buf[n++] = kEnd;
    return n;
}

}  // namespace kvcom::message
