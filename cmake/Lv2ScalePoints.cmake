# Gives the scale points of the LV2 parameters in dsp.ttl their plain values.
#
#     cmake -Dttl=<bundle>/dsp.ttl -P Lv2ScalePoints.cmake
#
# JUCE 7.0.5's LV2 generator writes scale point i of n at its normalised position
# i / (n - 1), while an LV2 parameter carries plain values between lv2:minimum and
# lv2:maximum: on the 0 to 4 range of "Algorithm Type" a host would find "Soft Clip" at
# 0.25. Scale point i becomes minimum + i * (maximum - minimum) / (n - 1), which is what
# the plug-in reads back for that step. A file already corrected stays as it is.

cmake_minimum_required(VERSION 3.22)

if(NOT ttl)
    message(FATAL_ERROR "Name the metadata file: -Dttl=<path to dsp.ttl>")
endif()

# Only whole-number steps are written: every discrete parameter JUCE describes with scale
# points (choices and switches) has them, and CMake's arithmetic is integer-only.
function(korvel_plain_scale_point statement index count result)
    string(REGEX MATCH "lv2:minimum (-?[0-9]+)[ \t\n]" minimum_match "${statement}")
    set(minimum "${CMAKE_MATCH_1}")
    string(REGEX MATCH "lv2:maximum (-?[0-9]+)[ \t\n]" maximum_match "${statement}")
    set(maximum "${CMAKE_MATCH_1}")

    if(minimum_match STREQUAL "" OR maximum_match STREQUAL "" OR count LESS 2)
        message(FATAL_ERROR "${ttl}: scale points without a whole-number range:\n${statement}")
    endif()

    math(EXPR span "${maximum} - (${minimum})")
    math(EXPR steps "${count} - 1")
    math(EXPR remainder "${span} % ${steps}")

    if(NOT remainder EQUAL 0)
        message(FATAL_ERROR "${ttl}: ${count} scale points do not divide the range ${minimum} to ${maximum}")
    endif()

    math(EXPR value "${minimum} + ${index} * ${span} / ${steps}")
    set(${result} "${value}" PARENT_SCOPE)
endfunction()

function(korvel_fix_statement statement result)
    string(REGEX MATCHALL "rdf:value " points "${statement}")
    list(LENGTH points count)

    set(fixed "")
    set(rest "${statement}")
    set(index 0)

    while(TRUE)
        string(FIND "${rest}" "rdf:value " at)

        if(at EQUAL -1)
            break()
        endif()

        math(EXPR after "${at} + 10")
        string(SUBSTRING "${rest}" 0 ${after} head)
        string(SUBSTRING "${rest}" ${after} -1 rest)
        string(REGEX REPLACE "^[-+0-9.eE]+" "" rest "${rest}")

        korvel_plain_scale_point("${statement}" ${index} ${count} value)
        string(APPEND fixed "${head}${value}")
        math(EXPR index "${index} + 1")
    endwhile()

    set(${result} "${fixed}${rest}" PARENT_SCOPE)
endfunction()

file(READ "${ttl}" original)

# Semicolons fill turtle text and would split CMake arguments, so they are parked while
# the statements (each closed by a blank line) are visited.
string(REPLACE ";" "<semicolon>" rest "${original}")
set(text "")

while(NOT rest STREQUAL "")
    string(FIND "${rest}" "\n\n" end)

    if(end EQUAL -1)
        set(statement "${rest}")
        set(rest "")
    else()
        math(EXPR cut "${end} + 2")
        string(SUBSTRING "${rest}" 0 ${cut} statement)
        string(SUBSTRING "${rest}" ${cut} -1 rest)
    endif()

    if(statement MATCHES "a lv2:Parameter" AND statement MATCHES "lv2:scalePoint")
        korvel_fix_statement("${statement}" statement)
    endif()

    string(APPEND text "${statement}")
endwhile()

string(REPLACE "<semicolon>" ";" text "${text}")

if(NOT text STREQUAL original)
    file(WRITE "${ttl}" "${text}")
endif()
