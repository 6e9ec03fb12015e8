#include "paint/saved_object.h"

namespace paint {

void SavedObject::add(const char* key, const QString& value) {
    members_.push_back(Member{QString::fromLatin1(key), value, nullptr});
}

void SavedObject::add(const char* key, SavedObject object) {
    members_.push_back(Member{QString::fromLatin1(key), QString(),
                              std::make_shared<SavedObject>(std::move(object))});
}

void writeJsonString(QByteArray& out, const QString& text) {
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out.append('"');
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            default:
                if (u < 0x20) {
                    out.append("\\u00");
                    out.append(hex[u >> 4]);
                    out.append(hex[u & 15]);
                } else {
                    out.append(c);
                }
        }
    }
    out.append('"');
}

void SavedObject::write(QByteArray& out) const {
    out.append('{');
    bool first = true;
    for (const Member& m : members_) {
        if (!first) {
            out.append(',');
        }
        first = false;
        writeJsonString(out, m.key);
        out.append(':');
        if (m.object) {
            m.object->write(out);
        } else {
            writeJsonString(out, m.text);
        }
    }
    out.append('}');
}

QByteArray SavedObject::toJson() const {
    QByteArray out;
    write(out);
    return out;
}

QString SavedObject::value(const char* key) const {
    for (const Member& m : members_) {
        if (!m.object && m.key == QLatin1String(key)) {
            return m.text;
        }
    }
    return QString();
}

}  // namespace paint
