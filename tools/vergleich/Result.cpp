#include "Result.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace kritzel::vergleich {

namespace {

constexpr std::array<std::pair<Status, const char*>, 7> StatusNames{{
    {Status::Graded, "graded"},
    {Status::BuildFailed, "build-failed"},
    {Status::Timeout, "timeout"},
    {Status::Crashed, "crashed"},
    {Status::Failed, "failed"},
    {Status::NoDrawing, "no-drawing"},
    {Status::NoSubmission, "no-submission"},
}};

// The file is written by hand rather than through QJsonObject, which sorts its keys: a
// reader (and a diff of two runs) finds them in the order a person reads a result.
class Writer {
public:
    void Key(const char* key) {
        Element();
        String(QString::fromLatin1(key));
        out_ += ": ";
    }
    // The start of an array's element or an object's member, on a line of its own.
    void Element() {
        out_ += first_ ? "\n" : ",\n";
        first_ = false;
        out_ += QByteArray(depth_ * 2, ' ');
    }
    void String(const QString& text) {
        // QJsonDocument escapes exactly as JSON wants; its compact array gives ["..."].
        const QByteArray quoted = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
        out_ += quoted.mid(1, quoted.size() - 2);
    }
    void Raw(const QByteArray& text) { out_ += text; }
    // A number rounded to the given places, without trailing zeros, so that the same value
    // always gives the same characters and no binary noise shows ("0.1", not
    // "0.10000000000000001").
    void Number(double value, int places) {
        if (!std::isfinite(value))
            throw std::runtime_error("a result holds a number that is not finite");
        QByteArray text = QByteArray::number(value, 'f', places);
        if (text.contains('.')) {
            while (text.endsWith('0'))
                text.chop(1);
            if (text.endsWith('.')) text.chop(1);
        }
        if (text == "-0") text = "0";
        out_ += text;
    }
    void Open(char bracket) {
        out_ += bracket;
        ++depth_;
        first_ = true;
    }
    void Close(char bracket) {
        --depth_;
        if (!first_) out_ += "\n" + QByteArray(depth_ * 2, ' ');
        out_ += bracket;
        first_ = false;
    }
    QByteArray Take() { return std::move(out_) + "\n"; }

private:
    QByteArray out_;
    int depth_ = 0;
    bool first_ = true;
};

// Reading: each accessor names the key it wanted, so a refused file says where it is wrong.
class Reader {
public:
    explicit Reader(QJsonObject object, QString where = {})
        : object_(std::move(object)), where_(std::move(where)) {}

    QJsonValue Get(const char* key) const {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (value.isUndefined()) Refuse(key, "is missing");
        return value;
    }
    QString String(const char* key) const {
        const QJsonValue value = Get(key);
        if (!value.isString()) Refuse(key, "is not a string");
        return value.toString();
    }
    double Number(const char* key) const {
        const QJsonValue value = Get(key);
        if (!value.isDouble()) Refuse(key, "is not a number");
        return value.toDouble();
    }
    int Whole(const char* key, int low, int high) const {
        const double value = Number(key);
        if (value != std::floor(value) || value < low || value > high)
            Refuse(key, QString("is not a whole number from %1 to %2").arg(low).arg(high));
        return static_cast<int>(value);
    }
    bool Bool(const char* key) const {
        const QJsonValue value = Get(key);
        if (!value.isBool()) Refuse(key, "is not true or false");
        return value.toBool();
    }
    bool IsNull(const char* key) const { return Get(key).isNull(); }
    Reader Object(const char* key) const {
        const QJsonValue value = Get(key);
        if (!value.isObject()) Refuse(key, "is not an object");
        return Reader(value.toObject(), Name(key));
    }
    QJsonArray Array(const char* key) const {
        const QJsonValue value = Get(key);
        if (!value.isArray()) Refuse(key, "is not a list");
        return value.toArray();
    }
    QByteArray Base64(const char* key) const {
        const auto decoded = QByteArray::fromBase64Encoding(
            String(key).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) Refuse(key, "is not base64");
        return *decoded;
    }
    [[noreturn]] void Refuse(const char* key, const QString& why) const {
        throw std::runtime_error(("\"" + Name(key) + "\" " + why).toStdString());
    }

private:
    QString Name(const char* key) const {
        return where_.isEmpty() ? QString::fromLatin1(key) : where_ + "." + QLatin1String(key);
    }
    QJsonObject object_;
    QString where_;
};

} // namespace

QString StatusName(Status status) {
    for (const auto& [value, name] : StatusNames)
        if (value == status) return QString::fromLatin1(name);
    throw std::logic_error("a status without a name");
}

QByteArray ToJson(const Result& result) {
    Writer out;
    out.Open('{');
    out.Key("format");
    out.Raw(QByteArray::number(Result::Format));
    out.Key("name");
    out.String(result.name);
    out.Key("source");
    out.String(result.source);
    out.Key("status");
    out.String(StatusName(result.status));
    out.Key("result");
    out.String(result.result);
    out.Key("score");
    if (result.score) {
        out.Raw(QByteArray::number(*result.score));
    } else {
        out.Raw("null");
    }
    out.Key("passed");
    out.Raw(result.passed ? "true" : "false");
    out.Key("pixel_share");
    if (result.pixelShare) {
        out.Number(*result.pixelShare, 4);
    } else {
        out.Raw("null");
    }
    out.Key("seconds");
    out.Open('{');
    out.Key("build");
    out.Number(result.seconds.build, 2);
    out.Key("run");
    out.Number(result.seconds.run, 2);
    out.Key("compare");
    out.Number(result.seconds.compare, 2);
    out.Close('}');
    out.Key("differences");
    out.Open('[');
    for (const ResultDifference& difference : result.differences) {
        out.Element();
        out.Open('{');
        out.Key("kind");
        out.String(difference.kind);
        out.Key("text");
        out.String(difference.text);
        out.Close('}');
    }
    out.Close(']');
    out.Key("log");
    out.String(result.log);
    out.Key("language");
    out.String(result.language);
    out.Key("tolerance");
    out.Number(result.tolerance, 4);
    out.Key("threshold");
    out.Raw(QByteArray::number(result.threshold));
    out.Key("images");
    out.Open('{');
    out.Key("solution");
    out.Raw('"' + result.images.solution.toBase64() + '"');
    out.Key("drawing");
    out.Raw('"' + result.images.drawing.toBase64() + '"');
    out.Key("overlay");
    out.Raw('"' + result.images.overlay.toBase64() + '"');
    out.Close('}');
    out.Close('}');
    return out.Take();
}

Result FromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw std::runtime_error(QString("not JSON: %1 at byte %2")
                                     .arg(error.errorString())
                                     .arg(error.offset)
                                     .toStdString());
    if (!document.isObject()) throw std::runtime_error("not a result: the file holds no object");
    const Reader in(document.object());

    const int format = in.Whole("format", 0, 1000000);
    if (format != Result::Format)
        throw std::runtime_error(QString("a result of format %1; this program reads format %2")
                                     .arg(format)
                                     .arg(Result::Format)
                                     .toStdString());
    Result result;
    result.name = in.String("name");
    if (result.name.isEmpty()) in.Refuse("name", "is empty");
    result.source = in.String("source");
    const QString status = in.String("status");
    bool known = false;
    for (const auto& [value, name] : StatusNames) {
        if (status == QLatin1String(name)) {
            result.status = value;
            known = true;
        }
    }
    if (!known) in.Refuse("status", "is \"" + status + "\", not a known status");
    result.result = in.String("result");
    if (!in.IsNull("score")) result.score = in.Whole("score", 0, 100);
    result.passed = in.Bool("passed");
    if (!in.IsNull("pixel_share")) {
        result.pixelShare = in.Number("pixel_share");
        if (*result.pixelShare < 0 || *result.pixelShare > 1)
            in.Refuse("pixel_share", "is not from 0 to 1");
    }
    if (result.status == Status::Graded && (!result.score || !result.pixelShare))
        in.Refuse("score", "and \"pixel_share\" must be given for a graded submission");
    if (result.status != Status::Graded && (result.score || result.pixelShare))
        in.Refuse("score", "and \"pixel_share\" are given only for a graded submission");

    const Reader seconds = in.Object("seconds");
    result.seconds = {seconds.Number("build"), seconds.Number("run"), seconds.Number("compare")};
    const QJsonArray differences = in.Array("differences");
    for (qsizetype i = 0; i < differences.size(); ++i) {
        const QString where = QString("differences[%1]").arg(i);
        if (!differences[i].isObject())
            throw std::runtime_error(("\"" + where + "\" is not an object").toStdString());
        const Reader difference(differences[i].toObject(), where);
        result.differences.push_back({difference.String("kind"), difference.String("text")});
    }
    result.log = in.String("log");
    result.language = in.String("language");
    if (result.language != "de" && result.language != "en")
        in.Refuse("language", "is \"" + result.language + "\", not \"de\" or \"en\"");
    result.tolerance = in.Number("tolerance");
    if (result.tolerance < 0) in.Refuse("tolerance", "is negative");
    result.threshold = in.Whole("threshold", 0, 100);
    const Reader images = in.Object("images");
    result.images = {images.Base64("solution"), images.Base64("drawing"), images.Base64("overlay")};
    return result;
}

} // namespace kritzel::vergleich
