// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AppFixture.h"

#include "app/MainForm.h"
#include "app/Startup.h"
#include "support/TestUtil.h"

#include <QCoreApplication>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace testsupport {

AppFixture::AppFixture()
{
    EXPECT_TRUE(m_dir.isValid());
}

AppFixture::~AppFixture()
{
    destroyMainForm();
    // The backup store may hold names QTemporaryDir cannot remove (not UTF-8).
    if (m_dir.isValid())
        clearFolder(dir());
}

TMainForm *AppFixture::makeMainForm()
{
    destroyMainForm();
    CreateWindows(exePath());
    m_form = MainForm;
    return m_form;
}

TMainForm *AppFixture::showMainForm()
{
    makeMainForm();
    m_form->show();
    QCoreApplication::processEvents();
    return m_form;
}

void AppFixture::destroyMainForm()
{
    if (m_form) {
        m_form->hide();
        DestroyWindows();
        m_form = nullptr;
    }
}

std::string AppFixture::readFile(const std::string &path) const
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void AppFixture::writeFile(const std::string &path, const std::string &data) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

} // namespace testsupport
