#pragma once

#include <QByteArray>

#include <cstdint>

// The rules by which a download's file grows from parts (206 replies, RFC 9110 section 14.4) and
// is found whole by a 416: a part begins where the file ends, its last byte lies below the whole
// length it names, and once a part has named the whole length, every later part and 416 of the
// download names the same. A part's Content-Range reads "bytes 1000-1499/1500", or
// "bytes 1000-1499/*" when the whole length is not known yet; a 416's reads "bytes */1500".
class FileParts {
public:
    enum class Fit {
        Fits,      // the part continues the file; a 416: the file is whole
        Elsewhere, // a part that begins at another byte; a 416 that names another whole length
        Breaks,    // no single part, or one that contradicts the whole length or itself
    };

    // A new download: no whole length named yet.
    void Forget() { m_total = -1; }
    // A 206's Content-Range against the length the file has now.
    Fit Part(const QByteArray &contentRange, int64_t length);
    // The number of bytes that the last part which fits covers.
    int64_t PartLength() const { return m_partLength; }
    // A 416's Content-Range against the length the file has now.
    Fit Unsatisfiable(const QByteArray &contentRange, int64_t length) const;
    // True when a file of that length has the whole length the parts named.
    bool Whole(int64_t length) const { return m_total >= 0 && length == m_total; }

private:
    bool Contradicts(int64_t total) const { return m_total >= 0 && total != m_total; }

    int64_t m_total = -1;
    int64_t m_partLength = -1;
};
