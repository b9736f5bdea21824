// Errors of the table store. Every failing store operation raises one; start-up
// and the index rebuild turn them into their fixed messages.
#pragma once

#include <QString>
#include <stdexcept>

namespace zil::store {

class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

} // namespace zil::store
