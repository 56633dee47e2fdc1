#pragma once
// The operator's steps behind the published methods. TPostoPublicado takes the call, marks its
// reply as delayed and hands it here with the caller's login; whoever serves the steps (the
// service, with its engine) answers later through TChamadaOperador, on the posto's thread, never
// holding it meanwhile.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantList>

// One call waiting for its answer.
class TChamadaOperador {
public:
    TChamadaOperador(QDBusConnection conexao, QDBusMessage pedido, QString usuario)
        : FConexao(std::move(conexao)), FPedido(std::move(pedido)), FUsuario(std::move(usuario))
    {
    }
    // The login name of the caller (its uid when the system has no name for it).
    const QString& Usuario() const { return FUsuario; }
    // The answer: the method's out arguments, in order.
    void Responde(const QVariantList& valores) const { FConexao.send(FPedido.createReply(valores)); }
    // The error br.com.linkor.Posto1.Erro with the operator's message.
    void Falha(const QString& mensagem) const;

    // The window's texts break lines with a carriage return; the bus's with a newline.
    static QString TextoDoBarramento(QString texto);

private:
    QDBusConnection FConexao;
    QDBusMessage FPedido;
    QString FUsuario;
};

class TAtendimentoOperador {
public:
    virtual ~TAtendimentoOperador() = default;
    // Each as the method of the same name in br.com.linkor.Posto1.xml; the arguments are the
    // call's, already of the types the interface gives.
    virtual void Bicos(const TChamadaOperador& chamada) = 0;
    virtual void LeEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos) = 0;
    virtual void GravaEncerrantes(const TChamadaOperador& chamada, const QStringList& bicos) = 0;
    virtual void AlteraPrecos(const TChamadaOperador& chamada, const QStringList& bicos,
                              const QStringList& precos) = 0;
    virtual void Bloqueia(const TChamadaOperador& chamada, const QStringList& bicos, bool bloquear) = 0;
    virtual void Captura(const TChamadaOperador& chamada, int id) = 0;
    virtual void AcertaRelogio(const TChamadaOperador& chamada) = 0;
    virtual void DefineIntervalo(const TChamadaOperador& chamada, int segundos) = 0;
    virtual void ListaDiario(const TChamadaOperador& chamada, const QString& filtro, const QString& dia) = 0;
    virtual void ReenviaDiario(const TChamadaOperador& chamada, qint64 numero, bool novaSequencia) = 0;
};
