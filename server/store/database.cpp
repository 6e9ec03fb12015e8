#include "server/store/database.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <set>
#include <vector>

#include "server/store/migrations.h"

namespace vq::store {

std::atomic<int> Database::nextId_{1};

namespace {

// Connections this thread opened; removed when the thread ends. Qt refuses to use a
// connection from another thread, so nobody else could close them.
struct ThreadConnections {
    std::vector<QString> names;
    ~ThreadConnections() {
        for (const QString& name : names) {
            {
                QSqlDatabase db = QSqlDatabase::database(name, false);
                if (db.isValid()) {
                    db.close();
                }
            }
            QSqlDatabase::removeDatabase(name);
        }
    }
};

thread_local ThreadConnections threadConnections;
// Connections whose server went away (a restarted PostgreSQL): reopened on their next use,
// so one failed request is the whole cost of a database restart.
thread_local std::set<QString> brokenConnections;

QString errorText(const QSqlError& error) {
    QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

}  // namespace

qint64 nowSeconds() {
    return QDateTime::currentSecsSinceEpoch();
}

bool parseDbUrl(const QString& url, const QString& dataDir, DbConfig& out, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    out = DbConfig{};
    if (url.isEmpty()) {
        out.kind = DbConfig::Kind::Sqlite;
        out.path = QDir(dataDir).filePath(QStringLiteral("veltoquorin.db"));
        return true;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid()) {
        return fail(QStringLiteral("malformed database URL"));
    }
    const QString scheme = parsed.scheme().toLower();
    if (scheme == QLatin1String("sqlite")) {
        out.kind = DbConfig::Kind::Sqlite;
        out.path = parsed.path();
        if (out.path.isEmpty()) {
            return fail(QStringLiteral("sqlite URL without a file path"));
        }
        return true;
    }
    if (scheme != QLatin1String("postgres") && scheme != QLatin1String("postgresql")) {
        return fail(
            QStringLiteral("unknown database scheme '%1' (sqlite or postgres)").arg(scheme));
    }
    out.kind = DbConfig::Kind::Postgres;
    if (!parsed.host().isEmpty()) {
        out.host = parsed.host();
    }
    out.port = parsed.port(5432);
    out.user = parsed.userName();
    out.password = parsed.password();
    out.name = parsed.path().mid(1);
    if (out.name.isEmpty() || out.name.contains(QLatin1Char('/'))) {
        return fail(
            QStringLiteral("postgres URL needs a database name: postgres://user@host/name"));
    }
    return true;
}

Database::Database(DbConfig config) : config_(std::move(config)), id_(nextId_++) {}

Database::~Database() {
    close();
}

QString Database::connectionName() const {
    return QStringLiteral("vq-store-%1-%2")
        .arg(id_)
        .arg(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

QSqlDatabase Database::connection() {
    const QString name = connectionName();
    {
        QSqlDatabase existing = QSqlDatabase::database(name, false);
        if (brokenConnections.erase(name) > 0 && existing.isValid()) {
            existing.close();
        }
        if (existing.isValid() && existing.isOpen()) {
            return existing;
        }
    }
    if (!QSqlDatabase::contains(name)) {
        const bool pg = isPostgres();
        QSqlDatabase db = QSqlDatabase::addDatabase(
            pg ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
        threadConnections.names.push_back(name);
        if (pg) {
            db.setHostName(config_.host);
            db.setPort(config_.port);
            db.setUserName(config_.user);
            db.setPassword(config_.password);
            db.setDatabaseName(config_.name);
            db.setConnectOptions(QStringLiteral("connect_timeout=5"));
        } else {
            db.setDatabaseName(config_.path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        }
    }
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isValid()) {
        throw StoreError("database driver not available");
    }
    if (!db.open()) {
        throw StoreError(("cannot open database: " + errorText(db.lastError())).toStdString());
    }
    QSqlQuery setup(db);
    if (isPostgres()) {
        setup.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    } else {
        // WAL lets the pool's readers run while one connection writes; foreign keys are off
        // by default in SQLite and must be asked for on every connection.
        for (const char* pragma :
             {"PRAGMA journal_mode=WAL", "PRAGMA foreign_keys=ON", "PRAGMA synchronous=NORMAL"}) {
            if (!setup.exec(QString::fromLatin1(pragma))) {
                throw StoreError(
                    ("cannot set up database: " + errorText(setup.lastError())).toStdString());
            }
        }
    }
    return db;
}

bool Database::open(QString* error) {
    try {
        if (!isPostgres()) {
            QDir().mkpath(QFileInfo(config_.path).absolutePath());
        }
        connection();
        migrate(*this);
        return true;
    } catch (const StoreError& e) {
        if (error) {
            *error = QString::fromUtf8(e.what());
        }
        return false;
    }
}

int Database::schemaVersion() {
    Query q(*this, QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_migrations"));
    q.exec();
    return q.next() ? q.value(0).toInt() : 0;
}

void Database::close() {
    const QString name = connectionName();
    if (!QSqlDatabase::contains(name)) {
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen()) {
            if (!isPostgres()) {
                // Fold the log back into the main file so a stopped server leaves one file.
                QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    auto& names = threadConnections.names;
    names.erase(std::remove(names.begin(), names.end(), name), names.end());
}

Query::Query(Database& db, const QString& sql) : sql_(sql) {
    QSqlDatabase connection = db.connection();
    connection_ = connection.connectionName();
    query_ = QSqlQuery(connection);
    if (!query_.prepare(sql)) {
        failed("cannot prepare statement");
    }
}

void Query::failed(const char* what) {
    const QSqlError error = query_.lastError();
    if (error.type() == QSqlError::ConnectionError) {
        brokenConnections.insert(connection_);
    }
    throw StoreError(
        (QString::fromLatin1(what) + ": " + errorText(error) + " [" + sql_ + "]").toStdString());
}

void Query::execute(Database& db, const QString& sql) {
    QSqlDatabase connection = db.connection();
    QSqlQuery q(connection);
    if (!q.exec(sql)) {
        if (q.lastError().type() == QSqlError::ConnectionError) {
            brokenConnections.insert(connection.connectionName());
        }
        throw StoreError(
            ("statement failed: " + errorText(q.lastError()) + " [" + sql + "]").toStdString());
    }
}

Query& Query::bind(const QVariant& value) {
    // A null QString would bind as SQL NULL; every text column here is NOT NULL and an
    // absent text means "empty".
    if (value.userType() == QMetaType::QString && value.toString().isNull()) {
        query_.addBindValue(QStringLiteral(""));
        return *this;
    }
    query_.addBindValue(value);
    return *this;
}

Query& Query::exec() {
    if (!query_.exec()) {
        failed("statement failed");
    }
    return *this;
}

qint64 Query::returningId() {
    if (!query_.next()) {
        throw StoreError(("no key returned by [" + sql_ + "]").toStdString());
    }
    const qint64 id = query_.value(0).toLongLong();
    query_.finish();
    return id;
}

Transaction::Transaction(Database& db) : db_(db) {
    QSqlDatabase connection = db.connection();
    QSqlQuery q(connection);
    if (!q.exec(db.isPostgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"))) {
        if (q.lastError().type() == QSqlError::ConnectionError) {
            brokenConnections.insert(connection.connectionName());
        }
        throw StoreError(("cannot begin transaction: " + errorText(q.lastError())).toStdString());
    }
}

Transaction::~Transaction() {
    if (open_) {
        try {
            QSqlQuery(db_.connection()).exec(QStringLiteral("ROLLBACK"));
        } catch (const StoreError&) {
            // The connection is gone; the server side has already dropped the transaction.
        }
    }
}

void Transaction::commit() {
    QSqlQuery q(db_.connection());
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QString why = errorText(q.lastError());
        QSqlQuery(db_.connection()).exec(QStringLiteral("ROLLBACK"));
        open_ = false;
        throw StoreError(("cannot commit: " + why).toStdString());
    }
    open_ = false;
}

}  // namespace vq::store
