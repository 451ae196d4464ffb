# Mends the metadata that JUCE 7.0.5's LV2 generator writes into the bundle, so that hosts
# read the plug-in as it is and the LV2 project's validator (lv2_validate) accepts it.
#
#     cmake -Dbundle=<path to Korvel.lv2> -P Lv2Metadata.cmake
#
# dsp.ttl:
# - Scale point i of n is written at its normalised position i / (n - 1), while an LV2
#   parameter carries plain values between lv2:minimum and lv2:maximum: on the 0 to 4 range
#   of "Algorithm Type" a host would find "Soft Clip" at 0.25. Scale point i becomes
#   minimum + i * (maximum - minimum) / (n - 1), which is what the plug-in reads back.
# - Whole numbers are written as integer literals (100), which strict readers do not take for
#   the atom:Float that every parameter's range names; they become decimals (100.0).
# - The maintainer's foaf:homepage <> and foaf:mbox <> resolve to dsp.ttl itself, which hosts
#   then show as the author's address; there is no address to give, so both go.
# - The plug-in is declared a distortion, and a doap:Project (the domain of its maintainer and
#   release), under the GPL version 3.
# ui.ttl: ui:noUserResize, listed as extension data, reads as the feature that says the editor
# cannot be resized, which it can; opts:interface is extension data, not an optional feature.
# manifest.ttl: the property that the "Untitled" preset stores its program under is defined.
#
# A file already mended stays as it is.

cmake_minimum_required(VERSION 3.22)

if(NOT bundle)
    message(FATAL_ERROR "Name the bundle: -Dbundle=<path to Korvel.lv2>")
endif()

set(license "<http://spdx.org/licenses/GPL-3.0-only>")

# Only whole-number steps are written: every discrete parameter JUCE describes with scale
# points (choices and switches) has them, and CMake's arithmetic is integer-only.
function(korvel_plain_scale_point statement index count result)
    string(REGEX MATCH "lv2:minimum (-?[0-9]+)(\\.0)?[ \t\n]" minimum_match "${statement}")
    set(minimum "${CMAKE_MATCH_1}")
    string(REGEX MATCH "lv2:maximum (-?[0-9]+)(\\.0)?[ \t\n]" maximum_match "${statement}")
    set(maximum "${CMAKE_MATCH_1}")

    if(minimum_match STREQUAL "" OR maximum_match STREQUAL "" OR count LESS 2)
        message(FATAL_ERROR "${bundle}: scale points without a whole-number range:\n${statement}")
    endif()

    math(EXPR span "${maximum} - (${minimum})")
    math(EXPR steps "${count} - 1")
    math(EXPR remainder "${span} % ${steps}")

    if(NOT remainder EQUAL 0)
        message(FATAL_ERROR "${bundle}: ${count} scale points do not divide the range ${minimum} to ${maximum}")
    endif()

    math(EXPR value "${minimum} + ${index} * ${span} / ${steps}")
    set(${result} "${value}.0" PARENT_SCOPE)
endfunction()

function(korvel_plain_scale_points statement result)
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

# Visits the parameters' statements (each closed by a blank line) in the text of dsp.ttl.
function(korvel_mend_parameters text_variable)
    set(rest "${${text_variable}}")
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

        if(statement MATCHES "a lv2:Parameter")
            if(statement MATCHES "lv2:scalePoint")
                korvel_plain_scale_points("${statement}" statement)
            endif()

            string(REGEX REPLACE "(lv2:default|lv2:minimum|lv2:maximum) (-?[0-9]+)([ \t\n])"
                                 "\\1 \\2.0\\3" statement "${statement}")
        endif()

        string(APPEND text "${statement}")
    endwhile()

    set(${text_variable} "${text}" PARENT_SCOPE)
endfunction()

# Replaces the one occurrence of `from` by `to`. A text that holds `to` already was mended
# before; any other text is not what the generator writes, and the build stops rather than
# ship it unmended.
function(korvel_replace_once file text_variable from to)
    set(text "${${text_variable}}")
    string(FIND "${text}" "${to}" mended)

    if(NOT mended EQUAL -1)
        return()
    endif()

    string(FIND "${text}" "${from}" first)
    string(FIND "${text}" "${from}" last REVERSE)

    if(first EQUAL -1 OR NOT first EQUAL last)
        message(FATAL_ERROR "${file}: expected one\n${from}")
    endif()

    string(REPLACE "${from}" "${to}" text "${text}")
    set(${text_variable} "${text}" PARENT_SCOPE)
endfunction()

function(korvel_mend_file name)
    set(file "${bundle}/${name}")
    file(READ "${file}" original)
    set(text "${original}")

    if(name STREQUAL "dsp.ttl")
        korvel_mend_parameters(text)
        korvel_replace_once("${file}" text
            "\ta lv2:Plugin ;\n"
            "\ta lv2:Plugin , lv2:DistortionPlugin , doap:Project ;\n\tdoap:license ${license} ;\n")
        korvel_replace_once("${file}" text
            "\t\tfoaf:name \"Korvel\" ;\n\t\tfoaf:homepage <> ;\n\t\tfoaf:mbox <> ;\n\t] ;\n"
            "\t\tfoaf:name \"Korvel\" ;\n\t] ;\n")
    elseif(name STREQUAL "ui.ttl")
        korvel_replace_once("${file}" text
            "\t\topts:interface ,\n\t\tui:noUserResize ,\n\t\tui:resize ;\n"
            "\t\topts:interface ,\n\t\tui:resize ;\n")
        korvel_replace_once("${file}" text
            "\tlv2:optionalFeature\n\t\tui:resize ,\n\t\topts:interface ,\n\t\topts:options ;\n"
            "\tlv2:optionalFeature\n\t\tui:resize ,\n\t\topts:options ;\n")
    elseif(name STREQUAL "manifest.ttl")
        korvel_replace_once("${file}" text
            "state:state [ <urn:korvel:korvel:Program> \"0\"^^xsd:int ; ] .\n"
            "state:state [ <urn:korvel:korvel:Program> \"0\"^^xsd:int ; ] .\n\n<urn:korvel:korvel:Program>\n\ta <http://www.w3.org/1999/02/22-rdf-syntax-ns#Property> ;\n\trdfs:label \"Program\" .\n")
    endif()

    if(NOT text STREQUAL original)
        file(WRITE "${file}" "${text}")
    endif()
endfunction()

foreach(name dsp.ttl ui.ttl manifest.ttl)
    korvel_mend_file(${name})
endforeach()
