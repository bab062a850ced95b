// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A value or an error: how Velmora reports failures (never exceptions). The error is a message
// by default; the ICMP engine carries its own error values. Expected<void> says only whether
// something worked.

#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace velmora {

struct Error {
    QString message;
    bool operator==(const Error&) const = default;
};

template <typename T, typename E = Error> class [[nodiscard]] Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool hasValue() const { return m_state.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    const T& value() const& { return std::get<0>(m_state); }
    T& value() & { return std::get<0>(m_state); }
    T&& value() && { return std::get<0>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

    // The error; a default E (an empty message) when there is a value, so that a test can
    // always print it.
    const E& error() const
    {
        static const E none{};
        return hasValue() ? none : std::get<1>(m_state);
    }

private:
    std::variant<T, E> m_state;
};

template <typename E> class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default; // success
    Expected(E error) : m_error(std::move(error)) {}

    bool hasValue() const { return !m_error.has_value(); }
    explicit operator bool() const { return hasValue(); }

    // The error; a default E (an empty message) on success.
    const E& error() const
    {
        static const E none{};
        return m_error ? *m_error : none;
    }

private:
    std::optional<E> m_error;
};

} // namespace velmora
