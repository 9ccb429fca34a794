# Plants a call into the program's code in the device-shaped build and builds it: the
# build must fail, and its output must match EXPECTED (which names the function).
#   cmake -DDEVICE_DIR=DIR -DCALL=EXPR -DEXPECTED=REGEX [-DHEADER=NAME] -P device-planted-call.cmake
get_filename_component(root ${CMAKE_CURRENT_LIST_DIR}/.. REALPATH)
# EXPR is evaluated in a function of the program with a window handle hWnd; HEADER is a
# system header to include after the program's own.
set(source "// A call planted by tests/device-planted-call.cmake.\n#include \"${root}/shell/shell.h\"\n")
if(HEADER)
    string(APPEND source "#include <${HEADER}>\n")
endif()
string(APPEND source "void PlantedCall(HWND hWnd)\n{\n    (void)hWnd;\n    (void)(${CALL});\n}\n")
file(WRITE ${DEVICE_DIR}/planted/planted.cpp "${source}")

execute_process(COMMAND ${CMAKE_COMMAND} --build ${DEVICE_DIR} --target planted
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(WRITE ${DEVICE_DIR}/planted/planted.cpp "// Nothing planted.\n")
message("${output}")
if(status EQUAL 0)
    message(FATAL_ERROR "The device-shaped build took the planted call ${CALL}")
endif()
if(NOT output MATCHES "${EXPECTED}")
    message(FATAL_ERROR "The device-shaped build failed, but its output does not match ${EXPECTED}")
endif()
message("The device-shaped build failed as expected on ${CALL}")
