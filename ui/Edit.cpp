// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Edit.h"

#include "ui/Text.h"

#include <QValidator>

namespace ui {

namespace {

class ByteLimitValidator : public QValidator {
public:
    ByteLimitValidator(int limit, QObject *parent) : QValidator(parent), m_limit(limit) {}

    State validate(QString &input, int &) const override
    {
        return byteLength(input) <= m_limit ? Acceptable : Invalid;
    }

private:
    int m_limit;
};

} // namespace

Edit::Edit(QWidget *parent) : QLineEdit(parent) {}

void Edit::setMaxBytes(int bytes)
{
    m_maxBytes = bytes;
    delete validator();
    setValidator(bytes > 0 ? new ByteLimitValidator(bytes, this) : nullptr);
}

void Edit::setTextBytes(const std::string &bytes)
{
    m_bytes = bytes;
    m_bytesShown = toQ(bytes);
    m_hasBytes = true;
    setText(m_bytesShown);
}

bool Edit::textBytes(std::string &bytes) const
{
    if (!m_hasBytes || text() != m_bytesShown)
        return false;
    bytes = m_bytes;
    return true;
}

} // namespace ui
