# Checks that the README still tells users how weak the ciphers are, that blanking is no secure
# erase, and where the default target folder lies. Run as: cmake -DREADME=<path> -P readme_promises.cmake
file(READ "${README}" text)
string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
foreach(promise "XORed with a short key that repeats" "shifts each character's code by the code of the password character"
        "keep casual eyes out; neither stops an attacker" "guesses a stretch of the plain text as long as the key" "or on network shares"
        "does not reliably erase the old bytes on SSDs" "copy-on-write or journalling file systems"
        "| Default target folder (until one is stored; a stored value always wins) | `D:\\3d\\` | `$HOME/3d/` |")
    string(FIND "${text}" "${promise}" at)
    if(at EQUAL -1)
        message(SEND_ERROR "README.md no longer says: ${promise}")
    endif()
endforeach()
