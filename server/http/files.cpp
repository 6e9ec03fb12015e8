// Files: the login window's start images and the terminal's crash reports.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <cstdio>
#include <mutex>

#include "server/http/services.h"
#include "server/store/database.h"
#include "server/store/password.h"

static void initServerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace vq::http {

namespace {

const QStringList kImageSuffixes = {QStringLiteral("png"), QStringLiteral("jpg"),
                                    QStringLiteral("jpeg")};

bool safeImageName(const QString& name) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]{0,63}$"));
    return re.match(name).hasMatch() &&
           kImageSuffixes.contains(name.section(QLatin1Char('.'), -1).toLower());
}

QString imageFolder(const Services& services) {
    return QDir(services.options.dataDir).filePath(QStringLiteral("start_image"));
}

const char* imageType(const QString& name) {
    return name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? "image/png" : "image/jpeg";
}

// Makes room for one more report of `incoming` bytes: the oldest reports go (names start with
// their UTC time, so name order is age order) until the folder is within its limits.
void rotateReports(const QString& folder, const HttpOptions& o, qint64 incoming) {
    QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
    qint64 bytes = incoming;
    for (const QFileInfo& f : files) {
        bytes += f.size();
    }
    int count = files.size() + 1;
    for (const QFileInfo& f : files) {
        if (count <= o.crashReportsKept && bytes <= o.crashFolderBytes) {
            break;
        }
        if (QFile::remove(f.absoluteFilePath())) {
            --count;
            bytes -= f.size();
        }
    }
}

}  // namespace

QStringList startImageNames(const Services& services) {
    QStringList names = QDir(QStringLiteral(":/server/images")).entryList(QDir::Files, QDir::Name);
    if (!services.options.dataDir.isEmpty()) {
        for (const QString& name : QDir(imageFolder(services)).entryList(QDir::Files, QDir::Name)) {
            if (safeImageName(name) && !names.contains(name)) {
                names.append(name);
            }
        }
    }
    return names;
}

void registerFiles(Router& router, Services& services) {
    initServerResources();

    // Images an operator drops into DIR/start_image/ join the built-in one.
    router.get(R"(/start_image/([^/]+))",
               [&services](const httplib::Request& req, httplib::Response& res) {
                   const QString name = QString::fromStdString(req.matches[1]);
                   if (!safeImageName(name)) {
                       notFound(QStringLiteral("没有这张图片"));
                   }
                   QFile builtIn(QStringLiteral(":/server/images/") + name);
                   QFile operatorFile(QDir(imageFolder(services)).filePath(name));
                   QFile& file = builtIn.exists() ? builtIn : operatorFile;
                   if (services.options.dataDir.isEmpty() && !builtIn.exists()) {
                       notFound(QStringLiteral("没有这张图片"));
                   }
                   if (!file.open(QIODevice::ReadOnly)) {
                       notFound(QStringLiteral("没有这张图片"));
                   }
                   res.set_content(file.readAll().toStdString(), imageType(name));
               });

    // Crash reports: the body is stored as it came, one file per report, written atomically.
    // Anyone can send one, so each address has an hourly allowance in count and bytes, and
    // the folder keeps the newest reports within its limits instead of filling up for good.
    auto crash = [&services](const httplib::Request& req, httplib::Response& res) {
        if (req.body.empty()) {
            badRequest(QStringLiteral("崩溃报告为空"));
        }
        if (services.options.dataDir.isEmpty()) {
            unavailable(QStringLiteral("服务器未配置数据目录，无法保存崩溃报告"));
        }
        const HttpOptions& o = services.options;
        const qint64 size = static_cast<qint64>(req.body.size());
        if (!services.crashReports.take(req.remote_addr, store::nowSeconds(), o.crashReportsPerHour,
                                        o.crashBytesPerHour, size)) {
            std::fprintf(stderr, "crash report refused: %s is over its hourly allowance\n",
                         req.remote_addr.c_str());
            throw HttpError(429, QStringLiteral("4290"),
                            QStringLiteral("崩溃报告提交过于频繁，请稍后再试"));
        }
        const QString folder =
            QDir(services.options.dataDir).filePath(QStringLiteral("crash-reports"));
        static std::mutex mutex;  // the count check and the write go together
        std::lock_guard<std::mutex> lock(mutex);
        QDir().mkpath(folder);
        rotateReports(folder, o, size);
        QString label = QString::fromStdString(req.get_header_value("X-Report-Name"));
        label.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
        label = label.left(64);
        const QString id =
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
            QLatin1Char('-') + store::randomId().left(12);
        const QString path =
            QDir(folder).filePath(id + (label.isEmpty() ? QString() : QLatin1Char('-') + label) +
                                  QStringLiteral(".report"));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(req.body.data(), static_cast<qint64>(req.body.size())) !=
                static_cast<qint64>(req.body.size()) ||
            !file.commit()) {
            unavailable(QStringLiteral("无法保存崩溃报告"));
        }
        sendJson(res, success({{QStringLiteral("id"), id}}));
    };
    router.post("/crash-reporter/", crash);
    router.post("/crash-reporter", crash);
}

}  // namespace vq::http
