#include "tools/tvkbuild/cTvkContainerWriter.h"

#include <cstdio>
#include <stdexcept>

#include "engine/bookfile/BkStreamFormat.h"

void cTvkContainerWriter::addStream(uint32_t id, std::vector<uint8_t> data, const std::string& name)
{
    if (id == 0)
        throw std::invalid_argument("stream id 0 names the container itself");
    m_streams.push_back({id, name, std::move(data)});
}

bool cTvkContainerWriter::hasStream(uint32_t id) const
{
    for (const auto& s : m_streams)
        if (s.id == id)
            return true;
    return false;
}

std::vector<uint8_t> cTvkContainerWriter::build() const
{
    using namespace BkStreamFormat;
    std::vector<uint8_t> out(kHeaderSize, 0);
    std::vector<size_t> headerAt;
    for (const auto& s : m_streams) {
        const size_t at = out.size();
        headerAt.push_back(at);
        out.resize(at + kHeaderSize, 0);
        if (!s.name.empty()) {
            out.insert(out.end(), s.name.begin(), s.name.end());
            out.push_back(0);
        }
        const size_t start = out.size();
        out.insert(out.end(), s.data.begin(), s.data.end());
        bkPutLE(&out[at + kIdOffset], s.id, 4);
        bkPutLE(&out[at + kStartOffset], static_cast<uint32_t>(start), 4);
        bkPutLE(&out[at + kLengthOffset], static_cast<uint32_t>(s.data.size()), 4);
    }
    if (out.size() > 0xFFFFFFFFu)
        throw std::length_error("a container holds at most 4 GiB");
    for (size_t i = 0; i + 1 < headerAt.size(); ++i)
        bkPutLE(&out[headerAt[i] + kNextOffset], static_cast<uint32_t>(headerAt[i + 1]), 4);
    bkPutLE(&out[kLengthOffset], static_cast<uint32_t>(out.size()), 4);
    bkPutLE(&out[kNextOffset], headerAt.empty() ? 0 : static_cast<uint32_t>(headerAt[0]), 4);
    return out;
}

bool tvkWriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    const std::string temp = path + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool cTvkContainerWriter::writeFile(const std::string& path) const
{
    return tvkWriteFile(path, build());
}
