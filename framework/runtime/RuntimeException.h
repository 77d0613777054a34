#pragma once

#include <memory>
#include <stdexcept>
#include <string>

// The framework's exceptions. Handlers raise them, the run time reports those that escape.
// The family is small and always used together, so it lives in one header.
class RuntimeException : public std::runtime_error {
public:
    explicit RuntimeException(const std::string& message) : std::runtime_error(message) {}
    virtual const char* ClassName() const { return "RuntimeException"; }
    virtual std::shared_ptr<RuntimeException> Clone() const {
        return std::make_shared<RuntimeException>(*this);
    }
    // Throws this exception again with its own class.
    [[noreturn]] virtual void Raise() const { throw *this; }
};

#define VELLORAN_RUNTIME_EXCEPTION(Name)                                              \
    class Name : public RuntimeException {                                            \
    public:                                                                           \
        explicit Name(const std::string& message) : RuntimeException(message) {}      \
        const char* ClassName() const override { return #Name; }                      \
        std::shared_ptr<RuntimeException> Clone() const override {                    \
            return std::make_shared<Name>(*this);                                     \
        }                                                                             \
        [[noreturn]] void Raise() const override { throw *this; }                     \
    };

VELLORAN_RUNTIME_EXCEPTION(NilObjectException)
VELLORAN_RUNTIME_EXCEPTION(IOException)
VELLORAN_RUNTIME_EXCEPTION(ThreadAccessingUIException)
VELLORAN_RUNTIME_EXCEPTION(IllegalCastException)
VELLORAN_RUNTIME_EXCEPTION(UnsupportedOperationException)
VELLORAN_RUNTIME_EXCEPTION(PropertyTableException)
VELLORAN_RUNTIME_EXCEPTION(OutOfBoundsException)
VELLORAN_RUNTIME_EXCEPTION(RegExException)

#undef VELLORAN_RUNTIME_EXCEPTION

// A file that another program changed since it was read, and that was therefore left as it is;
// or one that it replaced with a file of its own while the new text was written, so that the
// text did not reach it. It is an IOException, so that every handler of those takes it too.
class ChangedOnDiskException : public IOException {
public:
    explicit ChangedOnDiskException(const std::string& message, bool whileWritten = false)
        : IOException(message), whileWritten_(whileWritten) {}
    const char* ClassName() const override { return "ChangedOnDiskException"; }
    std::shared_ptr<RuntimeException> Clone() const override { return std::make_shared<ChangedOnDiskException>(*this); }
    [[noreturn]] void Raise() const override { throw *this; }
    bool WhileWritten() const { return whileWritten_; }

private:
    bool whileWritten_;
};
