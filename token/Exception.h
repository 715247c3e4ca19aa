// The workstation's own failures. Each carries an English message (what()) and a Russian
// message (whatRu()) that the user reads, fixed but for the one that names files; neither
// allocates when asked.
#pragma once

#include "token/ReturnCodes.h"

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    virtual const char* whatRu() const noexcept = 0;
};

// A PKCS#11 call answered with a code other than CKR_OK.
class Pkcs11Exception : public Exception {
public:
    explicit Pkcs11Exception(token::ReturnCode code) noexcept : code_(code) {}
    const char* what() const noexcept override { return token::returnCodeName(code_); }
    const char* whatRu() const noexcept override { return token::returnCodeMessageRu(code_); }
    token::ReturnCode code() const noexcept { return code_; }

private:
    token::ReturnCode code_;
};

// A file could not be read (zeroLength false) or was read and is empty (zeroLength true).
class ReadFileException : public Exception {
public:
    explicit ReadFileException(bool zeroLength) noexcept : zeroLength_(zeroLength) {}
    const char* what() const noexcept override {
        return zeroLength_ ? "Zero-length file" : "Cannot read file";
    }
    const char* whatRu() const noexcept override {
        return zeroLength_ ? "Файл нулевой длины" : "Не удалось прочитать файл";
    }
    bool zeroLength() const noexcept { return zeroLength_; }

private:
    bool zeroLength_;
};

class WriteFileException : public Exception {
public:
    const char* what() const noexcept override { return "Cannot write file"; }
    const char* whatRu() const noexcept override { return "Не удалось записать файл"; }
};

// A replace of the file failed half-way and could not be undone: the old contents stay in a
// file of another name, and the new ones, when kept, in a third. The messages name them (UTF-8
// paths).
class ReplaceInterruptedException : public WriteFileException {
public:
    ReplaceInterruptedException(const std::string& target, const std::string& oldContents,
                                const std::string& newContents)
        : english_("Cannot write file: the replace of " + target +
                   " stopped half-way; its old contents are in " + oldContents),
          russian_("Не удалось записать файл: замена прервана. Прежнее содержимое файла " + target +
                   " сохранено в файле " + oldContents) {
        if (!newContents.empty()) {
            english_ += ", the new ones in " + newContents;
            russian_ += ", новое — в файле " + newContents;
        }
    }
    const char* what() const noexcept override { return english_.c_str(); }
    const char* whatRu() const noexcept override { return russian_.c_str(); }

private:
    std::string english_;
    std::string russian_;
};

class NoTokenException : public Exception {
public:
    const char* what() const noexcept override { return "No token found"; }
    const char* whatRu() const noexcept override { return "Не обнаружено ни одного токена"; }
};

class ManyTokenException : public Exception {
public:
    const char* what() const noexcept override { return "Connect only one token"; }
    const char* whatRu() const noexcept override { return "Подключите только один токен"; }
};

class PinException : public Exception {
public:
    const char* what() const noexcept override { return "Entered PIN codes do not match"; }
    const char* whatRu() const noexcept override { return "Введенные PIN-коды не совпадают"; }
};

// An input too large for the module's 32-bit lengths, refused before any call is made.
class DataTooLargeException : public Exception {
public:
    const char* what() const noexcept override { return "Data too large"; }
    const char* whatRu() const noexcept override { return "Слишком большой объём данных"; }
};

// The module answered against the rules of its own interface: more handles than there was
// room for, or a length that grew between the size query and the call that fills the buffer.
// Nothing it handed out in that answer is used.
class ModuleAnswerException : public Exception {
public:
    const char* what() const noexcept override { return "Invalid answer from the token module"; }
    const char* whatRu() const noexcept override {
        return "Модуль токена вернул некорректный ответ";
    }
};
