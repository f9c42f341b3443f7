// The engine's one error type and the error numbers callers rely on.
#pragma once

#include <QString>
#include <stdexcept>

namespace engine {

// Jet error numbers that callers rely on by value.
namespace err {
constexpr int SubscriptOutOfRange = 9;
constexpr int DiskFull = 61;
constexpr int InvalidArgument = 3001;
constexpr int UpdateWithoutAddNew = 3020;
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int FileNotFound = 3024;
constexpr int ReadOnly = 3027;
constexpr int InvalidPassword = 3031;
constexpr int PathNotFound = 3044;
constexpr int FileInUse = 3045;
constexpr int CannotOpenFile = 3051;
constexpr int TooFewParameters = 3061;
constexpr int UnknownFieldName = 3070;
constexpr int SyntaxError = 3075;
constexpr int TableNotFound = 3078;
constexpr int FieldTooSmall = 3163;
constexpr int RecordDeleted = 3167;
constexpr int ItemNotFound = 3265;
constexpr int NullNotAllowed = 3314;
constexpr int UnrecognizedFormat = 3343;
constexpr int ObjectClosed = 3420;
constexpr int DatabaseExists = 3204;
constexpr int ReservedError = 3000;
} // namespace err

// The engine's one table of standard message texts. Numbers it does not know
// get the generic text for application-defined errors.
QString standardErrorText(int number);

// Every engine failure raises this one type.
class EngineError : public std::runtime_error
{
public:
    EngineError(int number, QString source, QString text = {});

    int number() const { return m_number; }
    const QString &source() const { return m_source; }
    // The component's own description; the error log writes standardErrorText(number()) instead.
    const QString &text() const { return m_text; }

    // This failure spoilt the unit of data being written (Connection::beginUnit),
    // whose other writes are taken back: what the unit still had to do is
    // not worth trying.
    bool spoilsUnit() const { return m_spoilsUnit; }
    void setSpoilsUnit() { m_spoilsUnit = true; }

private:
    int m_number;
    bool m_spoilsUnit = false;
    QString m_source;
    QString m_text;
};

} // namespace engine
