// cTvkContainerWriter: writes a stream container (layout in engine/bookfile/BkStreamFormat.h).
// Streams are laid out in the order they were added: each header, then its name (NUL-terminated, when
// it has one), then its data; the first header describes the whole container. The result of build()
// can itself be the data of a stream of another container (a sub-file).

#pragma once

#include <cstdint>
#include <string>
#include <vector>

class cTvkContainerWriter {
public:
    // Adds a stream. An id of 0 is not allowed (it names the container itself).
    void addStream(uint32_t id, std::vector<uint8_t> data, const std::string& name = std::string());
    bool hasStream(uint32_t id) const;

    std::vector<uint8_t> build() const;
    // Writes build() to `path`; false on failure.
    bool writeFile(const std::string& path) const;

private:
    struct Stream {
        uint32_t id;
        std::string name;
        std::vector<uint8_t> data;
    };
    std::vector<Stream> m_streams;
};

bool tvkWriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
