# cmake -DSTAGING=DIR -DOUTPUT=DIR -DARCHIVE=FILE.tar.gz
#       -DMODULE_FILES="path/in/package=built/file;..." -P pack-edk2-package.cmake
#
# Makes the package folder OUTPUT from its staged texts and the built module
# files, lists the SHA-256 of every file in OUTPUT/SHA256SUMS (sha256sum -c
# reads it), and packs OUTPUT into ARCHIVE. The archive is the same bytes
# whenever its files are: sorted names, no owners, fixed times and modes,
# gzip without a name or time stamp.
foreach(required STAGING OUTPUT ARCHIVE MODULE_FILES)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "pack-edk2-package: -D${required}=... is missing")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUTPUT})
get_filename_component(name ${OUTPUT} NAME)
get_filename_component(parent ${OUTPUT} DIRECTORY)
file(COPY ${STAGING}/ DESTINATION ${OUTPUT})
foreach(entry IN LISTS MODULE_FILES)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 inPackage)
  list(GET pair 1 built)
  configure_file(${built} ${OUTPUT}/${inPackage} COPYONLY)
endforeach()

file(GLOB_RECURSE files RELATIVE ${OUTPUT} ${OUTPUT}/*)
list(SORT files)
set(sums "")
foreach(file IN LISTS files)
  file(SHA256 ${OUTPUT}/${file} sum)
  string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE ${OUTPUT}/SHA256SUMS "${sums}")

file(REMOVE ${ARCHIVE})
execute_process(
  COMMAND tar --sort=name --format=gnu --mtime=@0 --owner=0 --group=0 --numeric-owner
          --mode=u=rwX,go=rX -C ${parent} -cf - ${name}
  COMMAND gzip -9 --no-name
  OUTPUT_FILE ${ARCHIVE}
  RESULTS_VARIABLE status)
if(NOT status STREQUAL "0;0")
  file(REMOVE ${ARCHIVE})
  message(FATAL_ERROR "pack-edk2-package: tar or gzip failed (${status})")
endif()
