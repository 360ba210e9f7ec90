// Compiled by ctest, never linked (cmake/checks/CompileCheck.cmake): a raw
// pointer becomes a lang::Ptr only where the code says so. Each XMD_CASE_*
// below hands the address of an object on the stack to a lang::Ptr without
// saying so, which would compile with an implicit constructor and later
// delete the stack object; each must fail to compile. Without a case the file
// is the control: the same uses, stated explicitly, must compile.
#include "lang/Object.h"
#include "lang/Ptr.h"

namespace {

// Stands for any lang::Object: a stream, a vector, a node.
class Stream : public lang::Object {};

void keep(const lang::Ptr<Stream>& stream) { (void)stream; }

lang::Ptr<Stream> handOut(Stream* stream) {
#if defined(XMD_CASE_RETURN)
  return stream;
#else
  return lang::Ptr<Stream>(stream);
#endif
}

void use() {
  Stream onStack;
  lang::Ptr<Stream> held;
#if defined(XMD_CASE_ARGUMENT)
  keep(&onStack);
#elif defined(XMD_CASE_INITIALISATION)
  lang::Ptr<Stream> copy = &onStack;
  (void)copy;
#elif defined(XMD_CASE_ASSIGNMENT)
  held = &onStack;
#elif defined(XMD_CASE_RETURN)
  held = handOut(&onStack);
#else
  keep(lang::Ptr<Stream>(new Stream));
  keep(nullptr);
  held = lang::Ptr<Stream>(new Stream);
  held = nullptr;
  held = handOut(new Stream);
  (void)onStack;
#endif
}

}  // namespace

// Keeps the unused function from being dropped unseen.
void (*const xmdPtrCompileTestUse)() = use;
