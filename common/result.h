#pragma once
// The program's one way of saying that something failed.
//
// An operation that can fail returns Result<T, E>: the value, or a Failure
// naming what went wrong. E is a closed enum class with a toString() worded
// for the user; the failure may add a detail (a file name, the system's own
// words) that the enum cannot know. Result<void, E> carries no value.

#include <QString>

#include <utility>
#include <variant>

namespace parlowen {

template <typename E> struct Failure {
    E code;
    QString detail; // optional; for the user, never a password

    // The enum's sentence, followed by the detail when there is one.
    QString message() const
    {
        const QString words = toString(code);
        return detail.isEmpty() ? words : words + QStringLiteral(" (") + detail + QLatin1Char(')');
    }
};

template <typename T, typename E> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure<E> failure) : m_state(std::in_place_index<1>, std::move(failure)) {}
    Result(E code, QString detail = {}) : m_state(std::in_place_index<1>, Failure<E>{code, std::move(detail)})
    {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const Failure<E>& failure() const { return std::get<1>(m_state); }
    E error() const { return failure().code; }

private:
    std::variant<T, Failure<E>> m_state;
};

template <typename E> class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    Result(Failure<E> failure) : m_failure(std::move(failure)), m_ok(false) {}
    Result(E code, QString detail = {}) : m_failure{code, std::move(detail)}, m_ok(false) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }

    const Failure<E>& failure() const { return m_failure; }
    E error() const { return m_failure.code; }

private:
    Failure<E> m_failure{};
    bool m_ok = true;
};

} // namespace parlowen
