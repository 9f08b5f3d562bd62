#pragma once

#include <QString>
#include <optional>
#include <utility>

// The answer of a call that can fail: done, or a code saying what kind of failure and a message in Spanish
// ready for the user. Callers decide by the code, never by the message's text.
class [[nodiscard]] Result {
public:
    enum class Code {
        Ok,
        Failed,         // the work could not be done (a database or file error); the message says why
        Invalid,        // the input was refused before anything was written
        NotFound,       // the row or file is not there (any more)
        Conflict,       // another desk or window changed the same data first
        Busy,           // another desk holds the data; trying again later may work
        ConnectionLost, // the server went away; the program reconnects on the next action
        NotOurs,        // a file or database of another program: never written
        Cancelled,      // the user stopped it; nothing was kept
    };

    Result() = default;
    static Result done() { return {}; }
    static Result failure(QString message, Code code = Code::Failed) {
        return Result(code, std::move(message));
    }

    bool ok() const { return m_code == Code::Ok; }
    explicit operator bool() const { return ok(); }
    Code code() const { return m_code; }
    const QString &message() const { return m_message; }

private:
    Result(Code code, QString message) : m_code(code), m_message(std::move(message)) {}
    Code m_code = Code::Ok;
    QString m_message;
};

// A value, or the failure that kept it from being produced.
template <typename T> class [[nodiscard]] Expected {
public:
    Expected(T value) : m_value(std::move(value)) {}
    Expected(Result failure) : m_failure(std::move(failure)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const T &operator*() const { return *m_value; }
    const T *operator->() const { return &*m_value; }
    T *operator->() { return &*m_value; }
    T &operator*() { return *m_value; }
    const Result &failure() const { return m_failure; }
    const QString &message() const { return m_failure.message(); }
    Result::Code code() const { return m_failure.code(); }

private:
    std::optional<T> m_value;
    Result m_failure;
};
