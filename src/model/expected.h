// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A value or an error message: how Velmora reports failures (never exceptions).

#include <QString>

#include <utility>
#include <variant>

namespace velmora {

struct Error {
    QString message;
};

template <typename T> class Expected {
public:
    Expected(T value) : m_state(std::move(value)) {}
    Expected(Error error) : m_state(std::move(error)) {}

    bool hasValue() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return hasValue(); }

    const T& value() const& { return std::get<T>(m_state); }
    T& value() & { return std::get<T>(m_state); }
    T&& value() && { return std::get<T>(std::move(m_state)); }
    const T& operator*() const& { return value(); }
    const T* operator->() const { return &value(); }

    // The error's message; empty when there is a value.
    QString error() const
    {
        if (const auto* e = std::get_if<Error>(&m_state))
            return e->message;
        return {};
    }

private:
    std::variant<T, Error> m_state;
};

} // namespace velmora
