# What makes a build from scratch short: a fast linker, precompiled headers, and a compiler
# cache that can reuse objects built against them.

# mold, else lld: linking the test programs and the Python module with Debian's ld is a good
# part of a rebuild after a small change. Only when the compiler can use one; ld otherwise.
option(TAV_FAST_LINKER "Link with mold or lld when the compiler can use one" ON)
if(TAV_FAST_LINKER)
    include(CheckLinkerFlag)
    foreach(linker mold lld)
        check_linker_flag(CXX -fuse-ld=${linker} TAV_LINKER_${linker})
        if(TAV_LINKER_${linker})
            add_link_options(-fuse-ld=${linker})
            break()
        endif()
    endforeach()
endif()

# The Qt and standard headers most of our files include, compiled once per library and once for
# each kind of test program (the test programs share theirs). A file that includes nothing from
# the list still builds the same; only the parsing is saved.
option(TAV_PRECOMPILED_HEADERS "Precompile the Qt and standard headers" ON)
set(TAV_PCH_CORE
    <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QFileInfo> <QList> <QObject>
    <QProcess> <QString> <QStringList> <QTemporaryDir> <QTimer>
    <algorithm> <array> <cmath> <cstdint> <cstring> <functional> <memory> <optional> <string>
    <vector>)
set(TAV_PCH_WIDGETS ${TAV_PCH_CORE}
    <QApplication> <QComboBox> <QDialog> <QGridLayout> <QHBoxLayout> <QLabel> <QLineEdit>
    <QPushButton> <QVBoxLayout> <QWidget>)

if(TAV_PRECOMPILED_HEADERS)
    # ccache caches files built with a precompiled header only when told to ignore the
    # compiler's predefined macros and __TIME__ in it; the launcher a build folder was
    # configured with (scripts/build's, or one given by hand) is wrapped so.
    if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache$"
       AND NOT CMAKE_CXX_COMPILER_LAUNCHER MATCHES "CCACHE_SLOPPINESS")
        set(CMAKE_CXX_COMPILER_LAUNCHER
            env CCACHE_SLOPPINESS=pch_defines,time_macros ${CMAKE_CXX_COMPILER_LAUNCHER})
    endif()
endif()

# tav_precompile(target CORE|WIDGETS [extra header...]): the target's own precompiled headers.
function(tav_precompile target kind)
    if(TAV_PRECOMPILED_HEADERS)
        target_precompile_headers(${target} PRIVATE ${TAV_PCH_${kind}} ${ARGN})
    endif()
endfunction()

# tav_precompile_reuse(target donor): the donor's precompiled headers. GCC takes them only into a
# file compiled with the same code generation flags and with every macro the donor had on its
# command line (more are fine), so a donor is a target with the fewest definitions among those
# of its kind, all executables (-fPIE) or all libraries (-fPIC); CMake's -Winvalid-pch tells
# when a file cannot use them.
function(tav_precompile_reuse target donor)
    if(TAV_PRECOMPILED_HEADERS)
        target_precompile_headers(${target} REUSE_FROM ${donor})
    endif()
endfunction()
