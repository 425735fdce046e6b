// cLObjectArray<T>: an owning array of heap objects on top of cLPtrArray. It stores copies of what it
// is given and deletes them on removal and destruction. Used for narrow strings
// (cLObjectArray<cLStringTmpl<char>>) and Bible references (cLObjectArray<cBibleRef>); T needs a copy
// constructor (and operator== for indexOf). Reads outside the array answer null.
// Each array belongs to one owner and one thread.

#pragma once

#include "engine/foundation/cLPtrArray.h"

#include <cstdint>

template <typename T> class cLObjectArray {
public:
    cLObjectArray() = default;
    cLObjectArray(const cLObjectArray& other) { assign(other); }
    cLObjectArray& operator=(const cLObjectArray& other)
    {
        if (this != &other)
            assign(other);
        return *this;
    }
    virtual ~cLObjectArray() { deleteElements(); }

    // Deletes every element and frees the storage.
    void removeAll()
    {
        deleteElements();
        m_pointers.removeAll();
    }

    // Appends a new copy of value; returns 1, or 0 (and keeps nothing) when the array cannot grow.
    int addCopy(const T& value)
    {
        T* copy = new T(value);
        int ok = m_pointers.append(copy);
        if (!ok)
            delete copy;
        return ok;
    }

    // Stores a copy of value at i, deleting the element it replaces (a write beyond the end leaves
    // null elements in between). Returns 1, or 0 for i < 0 or when the array cannot grow.
    int replaceAt(std::int32_t i, const T& value)
    {
        if (i < 0)
            return 0;
        T* copy = new T(value);
        T* old = elementAt(i);
        int ok = m_pointers.setAt(i, copy);
        if (!ok) {
            delete copy;
            return 0;
        }
        delete old;
        return 1;
    }

    // Deletes the element at i and moves the later ones down; nothing outside 0..lastIndex.
    void removeAt(std::int32_t i)
    {
        if (i < 0 || i > m_pointers.lastIndex())
            return;
        delete elementAt(i);
        m_pointers.removeAt(i);
    }

    std::int32_t count() const { return m_pointers.count(); }
    std::int32_t lastIndex() const { return m_pointers.lastIndex(); }
    T* elementAt(std::int32_t i) const { return static_cast<T*>(m_pointers.elementAt(i)); }
    T* at(std::int32_t i) const { return elementAt(i); }
    int setCapacity(std::int32_t n, std::int32_t growBy = 0)
    {
        // Elements the smaller capacity drops are deleted, not leaked.
        for (std::int32_t i = n < 0 ? m_pointers.count() : n; i < m_pointers.count(); ++i)
            delete elementAt(i);
        return m_pointers.setCapacity(n, growBy);
    }

    // First index whose element equals value; -1 when none.
    std::int32_t indexOf(const T& value) const
    {
        for (std::int32_t i = 0; i < count(); ++i) {
            const T* e = elementAt(i);
            if (e != nullptr && *e == value)
                return i;
        }
        return -1;
    }

    // Replaces the contents by copies of other's elements, in order (a null element stays null, so
    // indexes are kept).
    void assign(const cLObjectArray& other)
    {
        if (this == &other)
            return;
        removeAll();
        m_pointers.setCapacity(other.count());
        for (std::int32_t i = 0; i < other.count(); ++i) {
            const T* e = other.elementAt(i);
            if (e == nullptr) {
                m_pointers.append(nullptr);
            } else {
                addCopy(*e);
            }
        }
    }

private:
    void deleteElements()
    {
        for (std::int32_t i = 0; i < m_pointers.count(); ++i)
            delete elementAt(i);
    }

    cLPtrArray m_pointers;
};
