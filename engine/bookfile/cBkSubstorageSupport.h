// cBkSubstorageSupport: the base of every storage of a book file.
//
// A storage reads one stream of the book's container (cBkStreamFile), found by its tag or by its name,
// and begins that stream with a fixed-length header record that the subclass keeps inline; the record
// lies on disk at offset 0 of the stream, byte for byte, little-endian.
//
// The container belongs to the book file (cBkBookFile) and outlives its storages. "Attached" means a
// container was given, also by an open that failed. Subclasses take the container mutex around every
// public operation that reads the stream.

#pragma once

#include <cstdint>
#include <mutex>

#include "engine/bookfile/cBkStreamFile.h"
#include "engine/bookfile/cBkTieredOffsetIndex.h"

class cBkSubstorageSupport {
public:
    cBkSubstorageSupport(uint32_t tag, uint8_t* header, uint32_t headerLength);
    virtual ~cBkSubstorageSupport() = default;
    cBkSubstorageSupport(const cBkSubstorageSupport&) = delete;
    cBkSubstorageSupport& operator=(const cBkSubstorageSupport&) = delete;

    // Remembers the container, sets the opened flag and reads the header. The base forms take no lock;
    // every subclass overrides them to hold the container mutex.
    virtual uint32_t open(cBkStreamFile* container);
    // The same on the stream whose name is `name`; 218 when no stream carries it.
    virtual uint32_t openNamed(cBkStreamFile* container, const char* name);
    virtual uint32_t readHeader();

    bool isAttached() const { return m_container != nullptr; }
    bool isOpened() const { return m_opened; }
    uint32_t streamId() const { return m_streamId; }
    uint32_t headerLength() const { return m_headerLength; }

protected:
    // Base operations without a lock, for subclasses that hold the mutex themselves.
    uint32_t openUnlocked(cBkStreamFile* container);
    uint32_t openNamedUnlocked(cBkStreamFile* container, const char* name);
    uint32_t lookupIndex(uint32_t i, const uint32_t counts[4], const uint32_t bases[4]) const;

    cBkStreamFile* m_container = nullptr;
    bool m_opened = false;
    uint32_t m_streamId;
    uint8_t* m_header;
    uint32_t m_headerLength;
};

// Holds a storage's container mutex for a scope; does nothing when the storage is not attached.
class cBkContainerLock {
public:
    explicit cBkContainerLock(cBkStreamFile* container) : m_container(container)
    {
        if (m_container != nullptr)
            m_container->mutex().lock();
    }
    ~cBkContainerLock()
    {
        if (m_container != nullptr)
            m_container->mutex().unlock();
    }
    cBkContainerLock(const cBkContainerLock&) = delete;
    cBkContainerLock& operator=(const cBkContainerLock&) = delete;

private:
    cBkStreamFile* m_container;
};
