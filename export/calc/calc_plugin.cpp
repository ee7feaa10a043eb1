// The LibreOffice Calc side of the spreadsheet export: the entry points of calc_plugin_abi.h
// over a UNO connection to a Calc instance on a named pipe.
#include "export/calc/calc_connection.h"
#include "export/calc_plugin_abi.h"

#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

using namespace com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

struct TavCalcSession {
    Reference<uno::XComponentContext> office;
    Reference<frame::XDesktop2> desktop;
    Reference<lang::XComponent> document;
    Reference<sheet::XSpreadsheet> sheet;
    bool visible = false;
};

namespace {

// How long a freshly started Calc may take until it accepts the connection.
constexpr auto kStartLimit = std::chrono::seconds(60);

void SetError(char* error, int size, const std::string& text)
{
    if (!error || size <= 0)
        return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(error, text.data(), n);
    error[n] = '\0';
}

// Runs one step; a UNO or C++ exception becomes the step's error text.
template <typename Step> int Guard(char* error, int size, Step step)
{
    try {
        step();
        return 0;
    } catch (const uno::Exception& e) {
        SetError(error, size, calc::Utf8(e.Message));
    } catch (const std::exception& e) {
        SetError(error, size, e.what());
    }
    return 1;
}

// One try at the office on the pipe. An office still starting may take the connection and drop
// it again ("bridge disposed"): it is there, just not ready, and is asked again.
Reference<uno::XComponentContext> TryJoin(const std::string& pipe, bool& there)
{
    try {
        return calc::JoinOffice(pipe);
    } catch (const uno::RuntimeException&) {
        there = true;
        return {};
    }
}

Reference<uno::XComponentContext> JoinOrStart(const std::string& pipe)
{
    bool there = false;
    if (auto office = TryJoin(pipe, there); office.is())
        return office;
    if (!there && !calc::StartOffice(pipe))
        throw std::runtime_error("soffice cannot be started");
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto office = TryJoin(pipe, there); office.is())
            return office;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    throw std::runtime_error("Calc does not answer on pipe " + pipe);
}

void ShowDocument(TavCalcSession& s)
{
    const Reference<frame::XModel> model(s.document, UNO_QUERY);
    if (!model.is() || !model->getCurrentController().is())
        return;
    const Reference<frame::XFrame> frame = model->getCurrentController()->getFrame();
    if (frame.is() && frame->getContainerWindow().is())
        frame->getContainerWindow()->setVisible(s.visible);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) TavCalcSession*
tav_calc_create(const char* programId, const char* pipeName, char* error, int errorSize)
{
    if (std::strcmp(programId, "Excel.Application") != 0) {
        SetError(error, errorSize, std::string("no automation server named ") + programId);
        return nullptr;
    }
    auto* session = new TavCalcSession;
    if (Guard(error, errorSize, [&] {
            session->office = JoinOrStart(pipeName);
            session->desktop = calc::Desktop(session->office);
        }) != 0) {
        delete session;
        return nullptr;
    }
    return session;
}

__attribute__((visibility("default"))) int tav_calc_visible(TavCalcSession* session, int visible,
                                                            char* error, int errorSize)
{
    return Guard(error, errorSize, [&] {
        session->visible = visible != 0;
        if (session->document.is())
            ShowDocument(*session);
    });
}

__attribute__((visibility("default"))) int tav_calc_open(TavCalcSession* session, const char* path,
                                                         char* error, int errorSize)
{
    return Guard(error, errorSize, [&] {
        // "_default" brings a workbook that is open already to the front instead of opening
        // a second, read-only copy.
        const Reference<frame::XComponentLoader> loader(session->desktop, UNO_QUERY_THROW);
        uno::Sequence<beans::PropertyValue> args(1);
        args.getArray()[0].Name = "Hidden";
        args.getArray()[0].Value <<= !session->visible;
        session->document = loader->loadComponentFromURL(calc::FileUrl(path), "_default", 0, args);
        if (!session->document.is())
            throw std::runtime_error(std::string("cannot open ") + path);
        session->sheet = calc::ActiveSheet(session->document);
        ShowDocument(*session);
    });
}

__attribute__((visibility("default"))) int tav_calc_put_block(TavCalcSession* session, int row,
                                                              int column, int rows, int columns,
                                                              const char* const* texts, char* error,
                                                              int errorSize)
{
    return Guard(error, errorSize, [&] {
        if (!session->sheet.is())
            throw std::runtime_error("no workbook open");
        if (row < 1 || column < 1 || rows < 1 || columns < 1)
            throw std::runtime_error("cell outside the sheet");
        uno::Sequence<uno::Sequence<uno::Any>> data(rows);
        for (int r = 0; r < rows; ++r) {
            uno::Sequence<uno::Any> line(columns);
            for (int c = 0; c < columns; ++c)
                line.getArray()[c] <<= OUString::fromUtf8(texts[r * columns + c]);
            data.getArray()[r] = line;
        }
        const Reference<table::XCellRange> range = session->sheet->getCellRangeByPosition(
            column - 1, row - 1, column - 1 + columns - 1, row - 1 + rows - 1);
        Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(data);
    });
}

__attribute__((visibility("default"))) void tav_calc_release(TavCalcSession* session)
{
    delete session;
}

} // extern "C"
