// The saved form of a tool: members in a fixed order, every value a string or a nested object.
// Qt's JSON objects sort their members, so drawings are written by this small writer instead.
#ifndef VQ_PAINT_SAVED_OBJECT_H
#define VQ_PAINT_SAVED_OBJECT_H

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace paint {

class SavedObject {
public:
    void add(const char* key, const QString& value);
    void add(const char* key, SavedObject object);
    bool isEmpty() const { return members_.empty(); }
    // Compact JSON, members in insertion order, strings escaped as JSON requires.
    void write(QByteArray& out) const;
    QByteArray toJson() const;
    // The string member `key`, or a null string.
    QString value(const char* key) const;

private:
    struct Member {
        QString key;
        QString text;
        std::shared_ptr<SavedObject> object;  // set for nested objects
    };
    std::vector<Member> members_;
};

void writeJsonString(QByteArray& out, const QString& text);

}  // namespace paint

#endif
