# Plants a fault into a scratch copy of the program's swipe worker, for the scenario test
# to catch: ISO1 and ISO2 trade status words in MCRRead's arguments.
#   cmake -DIN=reader/workers.cpp -DOUT=FILE -P plant-fault.cmake
file(READ ${IN} text)
# A card whose two ISO tracks read alike is shown right, any other wrong. A worker that no
# longer holds the lines changed fails here, so that the plant never quietly becomes no
# fault at all.
foreach(pair "MCR_ISO1_BYTES, 2, 6,|MCR_ISO1_BYTES, 2, 7," "MCR_ISO2_BYTES, 3, 7,|MCR_ISO2_BYTES, 3, 6,")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 good)
    list(GET pair 1 planted)
    string(FIND "${text}" "${good}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${IN} has no '${good}' to plant the fault in: change ${CMAKE_CURRENT_LIST_FILE} with it")
    endif()
    string(REPLACE "${good}" "${planted}" text "${text}")
endforeach()
file(WRITE ${OUT} "// Made by tests/scenarios/plant-fault.cmake from ${IN}, with a fault planted on purpose.\n${text}")
