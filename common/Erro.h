#pragma once
// Errors travel as exceptions carrying the Portuguese text the operator or the error log sees.
#include <QString>
#include <exception>

class EErro : public std::exception {
public:
    explicit EErro(QString mensagem) : FMensagem(std::move(mensagem)), FUtf8(FMensagem.toUtf8()) {}
    const QString& Mensagem() const noexcept { return FMensagem; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMensagem;
    QByteArray FUtf8;
};

// A text that does not convert to the number asked for.
class EErroConversao : public EErro {
public:
    using EErro::EErro;
};

// A device call that got no answer: nothing it returned is data.
class EErroSemResposta : public EErro {
public:
    using EErro::EErro;
};

// The message of any exception, as the handler that catches it shows or logs it.
QString MensagemDe(const std::exception& e);
