# Puts the page together: murvik.html with its style, its script and the
# worker (the WebAssembly module, then worker.js) inlined, and a content
# security policy that allows exactly these inlined pieces (by their
# SHA-256), a worker made from them, WebAssembly, and no network at all.
# cmake -DPAGE=dir -DCORE=murvik-web.js -DVERSION=x -DOUT=murvik.html -P inline.cmake
cmake_policy(SET CMP0053 NEW)  # "@VERSION@" below is a text, not a variable
file(READ ${PAGE}/murvik.html html)
file(READ ${PAGE}/murvik.css css)
file(READ ${PAGE}/page.js script)
file(READ ${PAGE}/worker.js worker)
file(READ ${CORE} core)
string(REPLACE "@VERSION@" "${VERSION}" html "${html}")
string(REPLACE "@VERSION@" "${VERSION}" script "${script}")
# The worker's source (the module, then worker.js, which uses it) is text the page turns into a Blob; "</" would end the
# element that holds it early, and JavaScript reads "<\/" as "</".
# The module would fetch its inlined WebAssembly as a data: URL, which the
# policy forbids (and the browser reports); without fetch it decodes it itself.
string(REPLACE "</" "<\\/" worker_text "self.fetch = undefined;\n${core}\n${worker}")
string(SHA256 css_hash "${css}")
string(SHA256 script_hash "${script}")
foreach(what css script)
  # The policy names a hash in base64; CMake gives hex, turned into bytes here.
  execute_process(COMMAND python3 -c "import base64,sys; print(base64.b64encode(bytes.fromhex(sys.argv[1])).decode())"
                  ${${what}_hash} OUTPUT_VARIABLE ${what}_b64 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
string(CONCAT policy "default-src 'none'; script-src 'sha256-${script_b64}' 'wasm-unsafe-eval'; "
       "style-src 'sha256-${css_b64}'; worker-src blob:; img-src data:; base-uri 'none'; form-action 'none'")
string(REPLACE "@POLICY@" "${policy}" html "${html}")
# Placed last, so that nothing in them is taken for a placeholder.
string(FIND "${html}" "@STYLE@" at)
string(SUBSTRING "${html}" 0 ${at} before)
math(EXPR after_at "${at} + 7")
string(SUBSTRING "${html}" ${after_at} -1 after)
set(html "${before}${css}${after}")
foreach(what WORKER SCRIPT)
  if(what STREQUAL "WORKER")
    set(piece "${worker_text}")
  else()
    set(piece "${script}")
  endif()
  string(FIND "${html}" "@${what}@" at)
  string(SUBSTRING "${html}" 0 ${at} before)
  string(LENGTH "@${what}@" skip)
  math(EXPR after_at "${at} + ${skip}")
  string(SUBSTRING "${html}" ${after_at} -1 after)
  set(html "${before}${piece}${after}")
endforeach()
file(WRITE ${OUT} "${html}")
