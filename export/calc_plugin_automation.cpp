#include "export/calc_plugin_automation.h"

#include "export/cell_layout.h"

#include <QDir>
#include <QFileInfo>
#include <dlfcn.h>

#ifndef TAV_CALC_PLUGIN_INSTALLED
#define TAV_CALC_PLUGIN_INSTALLED "../lib/tavcontrol/libtavcalc.so"
#endif

namespace {

constexpr int kErrorSize = 512;

[[noreturn]] void Fail(const char* step, const char* error)
{
    throw AutomationError(std::string(step) + ": " + error);
}

} // namespace

CalcPluginAutomation::CalcPluginAutomation(QString pluginFile, QString pipeName)
    : m_pluginFile(std::move(pluginFile)), m_pipeName(std::move(pipeName))
{}

CalcPluginAutomation::~CalcPluginAutomation()
{
    if (m_session && m_release)
        m_release(m_session);
    // The plugin stays loaded: the UNO runtime it brought in does not expect to be unloaded.
}

QString CalcPluginAutomation::DefaultPluginFile(const QString& programDirectory)
{
    const QString beside = QDir(programDirectory).filePath(QString::fromLatin1(kPluginFileName));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(
        QDir(programDirectory).filePath(QString::fromLatin1(TAV_CALC_PLUGIN_INSTALLED)));
}

void CalcPluginAutomation::Create(const QString& programId)
{
    m_library = dlopen(QFile::encodeName(m_pluginFile).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library)
        throw AutomationError("LibreOffice plugin not loaded: " + std::string(dlerror()));
    auto create = reinterpret_cast<TavCalcCreateFn>(dlsym(m_library, TAV_CALC_CREATE));
    m_visible = reinterpret_cast<TavCalcVisibleFn>(dlsym(m_library, TAV_CALC_VISIBLE));
    m_open = reinterpret_cast<TavCalcOpenFn>(dlsym(m_library, TAV_CALC_OPEN));
    m_putBlock = reinterpret_cast<TavCalcPutBlockFn>(dlsym(m_library, TAV_CALC_PUT_BLOCK));
    m_release = reinterpret_cast<TavCalcReleaseFn>(dlsym(m_library, TAV_CALC_RELEASE));
    if (!create || !m_visible || !m_open || !m_putBlock || !m_release)
        throw AutomationError("LibreOffice plugin " + m_pluginFile.toStdString() +
                              " lacks an entry point");
    char error[kErrorSize] = {};
    m_session =
        create(programId.toUtf8().constData(), m_pipeName.toUtf8().constData(), error, kErrorSize);
    if (!m_session)
        Fail("create", error);
}

TavCalcSession* CalcPluginAutomation::Session() const
{
    if (!m_session)
        throw AutomationError("no application object");
    return m_session;
}

void CalcPluginAutomation::PutVisible(bool visible)
{
    char error[kErrorSize] = {};
    if (m_visible(Session(), visible ? 1 : 0, error, kErrorSize) != 0)
        Fail("visible", error);
}

void CalcPluginAutomation::WorkbooksOpen(const QString& path)
{
    char error[kErrorSize] = {};
    if (m_open(Session(), QFile::encodeName(path).constData(), error, kErrorSize) != 0)
        Fail("workbooks.open", error);
}

void CalcPluginAutomation::PutCellValue(int row, int column, const QString& text)
{
    PutBlock({{row, column, text}}, 1, 1);
}

void CalcPluginAutomation::PutCellValues(const CellList& cells)
{
    for (const CellList& block : CellBlocks(cells)) {
        int columns = 1;
        while (columns < static_cast<int>(block.size()) && block[columns].row == block[0].row)
            ++columns;
        PutBlock(block, static_cast<int>(block.size()) / columns, columns);
    }
}

void CalcPluginAutomation::PutBlock(const CellList& block, int rows, int columns)
{
    std::vector<QByteArray> utf8;
    std::vector<const char*> texts;
    utf8.reserve(block.size());
    for (const CellText& cell : block)
        utf8.push_back(cell.text.toUtf8());
    for (const QByteArray& t : utf8)
        texts.push_back(t.constData());
    char error[kErrorSize] = {};
    if (m_putBlock(Session(), block.front().row, block.front().column, rows, columns, texts.data(),
                   error, kErrorSize) != 0)
        Fail("cells.value", error);
}
