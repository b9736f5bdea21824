// Errors of the table store. Every failing store operation raises one; start-up
// and the index rebuild turn them into their fixed messages. Each error says
// what kind of failure it is, so that a caller can tell a table that is not
// there from one held by another program or one that is damaged without
// reading the message, which is meant for people.
#pragma once

#include <QString>
#include <stdexcept>

namespace zil::store {

class StoreError : public std::runtime_error
{
public:
    enum class Kind {
        Missing, // a table, file, field or index that is not there
        Busy, // another program holds what is needed
        Corrupt, // a file that is not what it should be: no table, damaged, foreign
        IO, // the system refused to read or write
        Usage, // an operation the cursor cannot do in its state (closed, no index)
        Changing, // a table file another program wrote into while it was read
    };

    StoreError(Kind kind, const QString &message)
        : std::runtime_error(message.toStdString())
        , m_kind(kind)
        , m_message(message)
    { }
    // A failure to read or write, the most common kind outside the store.
    explicit StoreError(const QString &message)
        : StoreError(Kind::IO, message)
    { }
    Kind kind() const { return m_kind; }
    const QString &message() const { return m_message; }

private:
    Kind m_kind;
    QString m_message;
};

} // namespace zil::store
