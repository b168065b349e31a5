#include "state_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace kvsim {

bool LoadStateFile(const std::string& path, Device& device) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<char> data;
    data.resize(tables::kBankFileMax);
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    device.ImportState(tables::DecodeBank(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    return true;
}

bool SaveStateFile(const std::string& path, const Device& device) {
    const Bytes bytes = tables::EncodeBank(device.ExportState());
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace kvsim
