# Installs the build into a scratch prefix: the programs, the resource folder
# next to them as ../share/vantor, the desktop entry, icon and MIME type must
# be where a Debian desktop finds them, and the installed vantor-transcribe
# must transcribe the installed example.
set(prefix "${WORK_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()
foreach(path bin/vantor bin/vantor-transcribe share/vantor/sounds/click1.wav share/vantor/sounds/click2.wav
             share/vantor/help/index.html share/vantor/licenses/vantorEULA.txt
             share/vantor/examples/amazing_grace.vnt share/applications/vantor.desktop
             share/icons/hicolor/scalable/apps/vantor.svg share/mime/packages/vantor.xml)
    if(NOT EXISTS "${prefix}/${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
execute_process(COMMAND "${prefix}/bin/vantor-transcribe" "${prefix}/share/vantor/examples/atholl_highlanders.vnt"
                RESULT_VARIABLE result OUTPUT_VARIABLE notes ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT notes MATCHES "melody")
    message(FATAL_ERROR "the installed vantor-transcribe failed (${result}): ${errors}")
endif()
file(REMOVE_RECURSE "${prefix}")
