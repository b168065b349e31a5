// The simulator behind the library's COM1, as a USB adapter would be: a
// temporary folder holds the port's name, a symlink to the simulator's pty
// while the adapter is plugged in. Shared by the real-time tests that pull
// the adapter or hang up the line.
#pragma once

#include <gtest/gtest.h>
#include <kvcom/kvcom.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "pty_server.h"
#include "reception.h"

namespace kvtest {

class SimOnCom1 {
public:
    // Call from SetUp through ASSERT_NO_FATAL_FAILURE.
    void SetUp(const char* tag) {
        std::string pattern = std::string("/tmp/kvcom-") + tag + "-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        port_ = dir_ + "/ttyUSB0";
        ::setenv("KVCOM_COM1", port_.c_str(), 1);
        rs232_port = 1;
        ASSERT_EQ(CreateTTYInfo(), 1);
    }
    void TearDown() {
        DestroyTTYInfo();
        if (server_) server_->Stop();
        ::unsetenv("KVCOM_COM1");
        std::filesystem::remove_all(dir_);
        kvcom::rev_busy.store(0);
        kvcom::rev_mode.store(kvcom::REV_IDLE);
    }

    // The adapter goes in: the simulator on a fresh pty, behind the port's name.
    void PlugIn(kvsim::Device& device, kvsim::PtyOptions options = {}) {
        server_ = std::make_unique<kvsim::PtyServer>(device, options);
        const std::string pty = server_->Start();
        ASSERT_FALSE(pty.empty());
        std::filesystem::remove(port_);
        std::filesystem::create_symlink(pty, port_);
    }
    // The adapter comes out: the port's name is gone and the line hangs up.
    // Returns when the line went.
    std::chrono::steady_clock::time_point Unplug() {
        std::filesystem::remove(port_);
        return HangUp();
    }
    // The pty behind the name closes: the library's end hangs up.
    std::chrono::steady_clock::time_point HangUp() {
        server_->Stop();
        const auto at = std::chrono::steady_clock::now();
        server_.reset();
        return at;
    }

    kvsim::PtyServer& server() { return *server_; }
    const std::string& port() const { return port_; }

private:
    std::string dir_;
    std::string port_;
    std::unique_ptr<kvsim::PtyServer> server_;
};

}  // namespace kvtest
