#include "server/http/request_head.h"

#include <strings.h>

#include <cctype>

namespace vq::http {

namespace {

bool nameIs(const char* line, size_t nameLength, const char* name) {
    return std::char_traits<char>::length(name) == nameLength &&
           strncasecmp(line, name, nameLength) == 0;
}

std::string trimmed(const char* from, const char* to) {
    while (from < to && (*from == ' ' || *from == '\t')) {
        ++from;
    }
    while (to > from && (to[-1] == ' ' || to[-1] == '\t' || to[-1] == '\r')) {
        --to;
    }
    return std::string(from, to);
}

}  // namespace

RequestHead scanHead(const std::string& buffer, size_t maxHead) {
    RequestHead head;
    const size_t end = buffer.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (buffer.size() > maxHead) {
            head.state = RequestHead::State::TooLarge;
        }
        return head;
    }
    head.headLength = end + 4;
    if (head.headLength > maxHead) {
        head.state = RequestHead::State::TooLarge;
        return head;
    }
    bool haveLength = false;
    // Header lines start after the request line.
    size_t pos = buffer.find("\r\n") + 2;
    while (pos < end + 2) {
        const size_t eol = buffer.find("\r\n", pos);
        const char* line = buffer.data() + pos;
        const size_t colon = buffer.find(':', pos);
        if (colon == std::string::npos || colon > eol) {
            pos = eol + 2;
            continue;
        }
        const size_t nameLength = colon - pos;
        const std::string value = trimmed(buffer.data() + colon + 1, buffer.data() + eol);
        if (nameIs(line, nameLength, "Content-Length")) {
            if (value.empty() || value.size() > 18) {
                head.state = RequestHead::State::Malformed;
                return head;
            }
            size_t n = 0;
            for (const char ch : value) {
                if (!std::isdigit(static_cast<unsigned char>(ch))) {
                    head.state = RequestHead::State::Malformed;
                    return head;
                }
                n = n * 10 + static_cast<size_t>(ch - '0');
            }
            if (haveLength && n != head.bodyLength) {
                head.state = RequestHead::State::Malformed;
                return head;
            }
            haveLength = true;
            head.bodyLength = n;
        } else if (nameIs(line, nameLength, "Transfer-Encoding")) {
            head.chunked = true;
        } else if (nameIs(line, nameLength, "Expect")) {
            head.expectAt = pos;
        }
        pos = eol + 2;
    }
    if (head.chunked) {
        head.bodyLength = 0;
    }
    head.state = RequestHead::State::Complete;
    return head;
}

}  // namespace vq::http
