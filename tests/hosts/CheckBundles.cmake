# Checks what a host's loader sees of the built bundles.
#
#     cmake -Dcheck=lv2-exports -Dnm=<nm> -Dbinary=<LV2 binary> -P CheckBundles.cmake
#     cmake -Dcheck=vst3-bundle -Dnm=<nm> -Dbundle=<Korvel.vst3> -P CheckBundles.cmake
#     cmake -Dcheck=lv2-validate -Dlv2_validate=<lv2_validate> -Dbundle=<Korvel.lv2> -P CheckBundles.cmake

cmake_minimum_required(VERSION 3.22)

# Names of the dynamic symbols the binary defines, sorted.
function(korvel_defined_symbols file result)
    execute_process(COMMAND "${nm}" -D --defined-only "${file}"
        OUTPUT_VARIABLE listing
        RESULT_VARIABLE status)

    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${nm} cannot read ${file}")
    endif()

    string(REGEX MATCHALL "[^\n]+" lines "${listing}")
    set(names "")

    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^.* " "" name "${line}")
        list(APPEND names "${name}")
    endforeach()

    list(SORT names)
    set(${result} "${names}" PARENT_SCOPE)
endfunction()

if(check STREQUAL "lv2-exports")
    korvel_defined_symbols("${binary}" exported)
    message(STATUS "${binary} exports: ${exported}")

    if(NOT exported STREQUAL "lv2_descriptor;lv2ui_descriptor")
        message(FATAL_ERROR "the LV2 binary must export lv2_descriptor and lv2ui_descriptor only, not: ${exported}")
    endif()
elseif(check STREQUAL "vst3-bundle")
    # Hosts load <name>.vst3/Contents/x86_64-linux/<name>.so and nothing else.
    get_filename_component(bundle "${bundle}" REALPATH)
    get_filename_component(bundle_name "${bundle}" NAME)
    file(GLOB binaries LIST_DIRECTORIES false RELATIVE "${bundle}/Contents/x86_64-linux" "${bundle}/Contents/x86_64-linux/*")

    if(NOT bundle_name STREQUAL "Korvel.vst3" OR NOT binaries STREQUAL "Korvel.so")
        message(FATAL_ERROR "expected Korvel.vst3/Contents/x86_64-linux/Korvel.so, found ${bundle_name} holding: ${binaries}")
    endif()

    korvel_defined_symbols("${bundle}/Contents/x86_64-linux/Korvel.so" exported)

    foreach(entry IN ITEMS GetPluginFactory ModuleEntry ModuleExit)
        if(NOT entry IN_LIST exported)
            message(FATAL_ERROR "Korvel.so does not export ${entry}")
        endif()
    endforeach()
elseif(check STREQUAL "lv2-validate")
    file(GLOB data "${bundle}/*.ttl")
    execute_process(COMMAND "${lv2_validate}" ${data}
        OUTPUT_VARIABLE report
        ERROR_VARIABLE report)

    # The validator allows lv2:portProperty on ports only, but hosts read enumeration and
    # toggled from the "choice" and "link" parameters too, so those three statements stay.
    # Integer literals and author data inside the bundle pass it; the lilv tests catch those.
    set(kept "error: Subject not in domain <http://lv2plug.in/ns/lv2core#Port>\n[ \t]+urn:korvel:korvel:(choice|link)\n[ \t]+http://lv2plug.in/ns/lv2core#portProperty\n")
    string(REGEX MATCHALL "error: " errors "${report}")
    string(REGEX MATCHALL "${kept}" kept_errors "${report}")
    list(LENGTH errors error_count)
    list(LENGTH kept_errors kept_count)

    if(NOT report MATCHES "Found [0-9]+ errors? among" OR NOT error_count EQUAL 3 OR NOT kept_count EQUAL 3)
        message(FATAL_ERROR "lv2_validate (packages lv2-dev and sordi) must report only the three lv2:portProperty errors:\n${report}")
    endif()
else()
    message(FATAL_ERROR "unknown check '${check}': use lv2-exports, vst3-bundle or lv2-validate")
endif()
