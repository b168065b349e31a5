// A pseudo-terminal pair standing in for a serial line: the test holds the
// master end (the device side) and points KVCOM_COM<n> at the slave, which
// the library opens as its port.
#pragma once

#include <string>

#include "hex.h"

namespace kvtest {

class PtyPair {
public:
    // Opens the pair and puts the line in raw mode; ok() tells whether it worked.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slave_path() const { return slave_path_; }
    int master_fd() const { return master_; }

    // Sets KVCOM_COM<port> to the slave's path (removed again on destruction).
    void AttachAsCom(int port);

    // What the device sends: written to the master end whole.
    bool Send(const Bytes& bytes);
    // What the library wrote: reads until n bytes came or timeout_ms passed.
    Bytes Receive(std::size_t n, int timeout_ms);
    // Reads until the line has been quiet for quiet_ms.
    Bytes ReceiveUntilQuiet(int quiet_ms);

    // The device end vanishes (like an unplugged adapter).
    void CloseMaster();

private:
    int master_ = -1;
    int slave_hold_ = -1;  // keeps the slave side alive between the library's opens
    std::string slave_path_;
    int attached_port_ = 0;
};

}  // namespace kvtest
