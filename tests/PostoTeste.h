#pragma once
// A station for the engine's and the window's tests: a fresh embedded demo database in a temporary
// folder that also serves as the executable's and the current folder, a fixed clock, scripted
// message boxes and a fake concentrator, all handed to the engine through its context.
#include "ClassCompanyTec.h"
#include "ClassConcentrador.h"
#include "Conexao.h"
#include "Erro.h"
#include "Linkor.h"
#include "Mensagens.h"
#include "Posto.h"
#include "Regional.h"
#include "Relogio.h"

#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>

class TRelogioTeste : public TRelogio {
public:
    QDateTime Momento = QDateTime(QDate(2025, 12, 9), QTime(14, 3, 28));
    QString Pasta;
    mutable int Sonos = 0;
    std::function<void()> AoConsultar; // runs whenever the time is asked for
    std::function<void()> AoDormir;    // runs in place of a wait
    QDateTime Agora() const override
    {
        if (AoConsultar)
            AoConsultar();
        return Momento;
    }
    QString PastaExecutavel() const override { return Pasta; }
    QString PastaAtual() const override { return Pasta; }
    void Dorme(int) const override
    {
        ++Sonos;
        if (AoDormir)
            AoDormir();
    }
};

class TRespondedorTeste : public TMensagens {
public:
    struct TCaixa {
        TTipoMensagem Tipo;
        QString Texto;
    };
    QList<TCaixa> Caixas;
    TResposta Resposta = TResposta::Ok;
    std::function<void()> AoMostrar; // runs while the box is "open"
    TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes) override
    {
        Caixas.append({tipo, texto});
        if (AoMostrar)
            AoMostrar();
        return Resposta;
    }
};

class TConcentradorFalso : public TConcentrador {
public:
    QList<TAbastecimento> Fila;
    QList<TAbastecimentoFid> FilaFid;
    int LeiturasPlanas = 0;
    int LeiturasFid = 0;
    int Porta = -1;
    bool Finalizado = false;
    bool RelogioAcertado = false;
    bool FalhaLeitura = false;
    bool PortaAbre = true;
    QString Status;
    std::function<void()> AoLer;

    TAbastecimento GetLeAbastecimento() override
    {
        ++LeiturasPlanas;
        if (AoLer)
            AoLer();
        if (FalhaLeitura)
            throw EErro("falha de comunicação");
        return Fila.isEmpty() ? RegistroVazio<TAbastecimento>() : Fila.takeFirst();
    }
    TAbastecimentoFid GetLeAbastecimentoFID() override
    {
        ++LeiturasFid;
        return FilaFid.isEmpty() ? RegistroVazio<TAbastecimentoFid>() : FilaFid.takeFirst();
    }
    bool StatusMudo = false; // the library's status read gets no answer
    QString GetLeStatus() override
    {
        if (StatusMudo)
            throw EErroSemResposta("O concentrador não respondeu à leitura do status dos bicos.");
        return Status;
    }
    bool InicializaSerial(std::uint8_t porta) override
    {
        Porta = porta;
        return PortaAbre;
    }
    std::optional<TUltimoEntregue> Finalizacao; // what the close did with the last fueling delivered
    void FinalizaSerial(TUltimoEntregue ultimo) override
    {
        Finalizado = true;
        Finalizacao = ultimo;
    }
    int AcertosRelogio = 0;
    bool RelogioMudo = false; // the clock command gets no answer
    void AcertaDataHora() override
    {
        ++AcertosRelogio;
        if (RelogioMudo)
            throw EErro("O concentrador não confirmou o acerto da Data/Hora.");
        RelogioAcertado = true;
    }
    // The fuelings kept in the concentrator's memory, by ID.
    QMap<qint32, TAbastecimento> Registros;
    QList<qint32> RegistrosPedidos;
    bool FalhaRegistro = false;
    TAbastecimento FLeRegistro(std::int32_t Id) override
    {
        RegistrosPedidos << Id;
        if (FalhaRegistro)
            throw EErro("falha de comunicação");
        return Registros.value(Id, RegistroVazio<TAbastecimento>());
    }

    // Price changes as sent, refused ones included; a nozzle in PrecosRecusados refuses.
    struct TAlteracaoPreco {
        QString Bico;
        int Modo;
        double Preco;
    };
    QList<TAlteracaoPreco> Precos;
    QStringList PrecosRecusados;
    void AlteraPrecoBico(const QString& Bico, std::uint8_t Modo, double Preco) override
    {
        Precos.append({Bico, Modo, Preco});
        if (PrecosRecusados.contains(Bico))
            throw EErro("o concentrador recusou o preço");
    }
    // "44 3 7.5" per call, for comparisons.
    QStringList TextosPrecos() const
    {
        QStringList textos;
        for (const TAlteracaoPreco& p : Precos)
            textos << QStringLiteral("%1 %2 %3").arg(p.Bico).arg(p.Modo).arg(TextoNumeroC(p.Preco));
        return textos;
    }

    // Block, release and totalizer requests, in order: "FBloqueiaBico 006", "FLiberaBico 004",
    // "LerEncerrante L 04".
    QStringList Comandos;
    QSet<QString> CodigosRecusados;             // these codes make the request fail
    QMap<QString, TEncerrante> Encerrantes;      // the reading answered for each code asked
    std::function<void()> AoLerEncerrante;       // runs while a totalizer request is under way
    void FBloqueiaBico(const QString& Bico) override { Comando(QStringLiteral("FBloqueiaBico ") + Bico, Bico); }
    void FLiberaBico(const QString& Bico) override { Comando(QStringLiteral("FLiberaBico ") + Bico, Bico); }
    void LerEncerrante(char Tipo, const QString& Bico) override
    {
        Comando(QStringLiteral("LerEncerrante %1 %2").arg(QChar::fromLatin1(Tipo), Bico), Bico);
        if (AoLerEncerrante)
            AoLerEncerrante();
        LeituraEncerrante = Encerrantes.value(Bico, RegistroVazio<TEncerrante>());
    }
    static TEncerrante Encerrante(const QByteArray& bico, double valor)
    {
        TEncerrante e = RegistroVazio<TEncerrante>();
        e.Bico.Define(bico);
        e.Encerrante = valor;
        return e;
    }

private:
    void Comando(const QString& texto, const QString& bico)
    {
        Comandos << texto;
        if (CodigosRecusados.contains(bico))
            throw EErro(QStringLiteral("'%1' não é um valor inteiro válido").arg(bico));
    }
};

// A plain fueling record as the concentrator fills it.
inline TAbastecimento Abastecimento(const QByteArray& bico, double litros, qint64 precoUnit, qint64 total,
                                    qint32 id, const QByteArray& data = "09/12/2025",
                                    const QByteArray& hora = "14:03:27", double encerrante = 1000)
{
    TAbastecimento r = RegistroVazio<TAbastecimento>();
    r.Valido = 1;
    r.Litragem = litros;
    r.PrecoUnit = precoUnit;
    r.ValorTotal = total;
    r.Bico.Define(bico);
    r.Data.Define(data);
    r.Hora.Define(hora);
    r.Id = id;
    r.EncerranteFinal = encerrante;
    return r;
}

class TPostoTeste {
public:
    QTemporaryDir Pasta;
    TRelogioTeste Relogio;
    TRespondedorTeste Respondedor;
    QString Banco;
    TConcentradorFalso* Falso = nullptr;
    std::function<void(TConcentradorFalso&)> PreparaFalso; // before start-up uses the driver
    bool DriverReal = false; // the CompanyTec driver instead of the fake
    TConfiguracaoRegional Regional = TConfiguracaoRegional::PtBr(); // the engine's, from CriaMotor on
    std::unique_ptr<TContexto> Contexto;
    std::unique_ptr<TLinkor> Motor;

    TPostoTeste()
    {
        Relogio.Pasta = Pasta.path() + '/';
        Banco = Pasta.filePath("POSTO.FDB");
        CriaBancoPosto(Banco, true);
        EscreveArquivo("Caminho.ini",
                       ("[DATABASEESTOQUE]\r\nCAMINHO=" + Banco + "\r\nUSUARIO=SYSDBA\r\nSENHA=masterkey\r\n").toUtf8());
    }
    ~TPostoTeste()
    {
        Motor.reset();
        Contexto.reset();
    }

    // A fresh engine on this station (the previous one, if any, is let go first); not started.
    TLinkor& CriaMotor()
    {
        Motor.reset();
        Contexto.reset();
        Falso = nullptr;
        Contexto = std::make_unique<TContexto>(Relogio, Respondedor, Regional);
        Motor = std::make_unique<TLinkor>(*Contexto, [this]() -> std::unique_ptr<TConcentrador> {
            if (DriverReal)
                return std::make_unique<TCompanyTec>(TConfiguracaoRegional::PtBr());
            auto falso = std::make_unique<TConcentradorFalso>();
            Falso = falso.get();
            if (PreparaFalso)
                PreparaFalso(*falso);
            return falso;
        });
        return *Motor;
    }
    // A fresh engine, started; a start-up failure fails the test.
    TLinkor& IniciaMotor()
    {
        TLinkor& motor = CriaMotor();
        motor.Inicia();
        return motor;
    }
    TCicloLeitura& Ciclo() { return Motor->Ciclo(); }

    // Runs one statement on the test's own connection, committed at once.
    void Executa(const QString& sql)
    {
        TConsulta consulta(&Conexao());
        consulta.DefineSQL(sql);
        consulta.Executa();
    }
    // The rows of a query as "A|B|C" texts.
    QStringList Linhas(const QString& sql, const QStringList& colunas)
    {
        TConsulta consulta(&Conexao());
        consulta.DefineSQL(sql);
        consulta.Abre();
        QStringList linhas;
        for (; !consulta.Fim(); consulta.Proximo()) {
            QStringList valores;
            for (const QString& c : colunas)
                valores << (consulta.CampoNulo(c) ? QStringLiteral("<null>") : consulta.CampoTexto(c));
            linhas << valores.join('|');
        }
        return linhas;
    }

    // A second attachment beside the program's, as another station program would have.
    TConexao& Conexao()
    {
        if (!FConexao.Conectado()) {
            FConexao.DefineParametro("Database", Banco);
            FConexao.DefineParametro("User_Name", "SYSDBA");
            FConexao.Conecta();
        }
        return FConexao;
    }

    void EscreveArquivo(const QString& nome, const QByteArray& conteudo)
    {
        QFile f(Pasta.filePath(nome));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(conteudo);
    }

    QString Arquivo(const QString& nome) const
    {
        QFile f(Pasta.filePath(nome));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QStringList LinhasErro() const
    {
        QStringList linhas = Arquivo("LogErroConcentrador").split("\r\n");
        linhas.removeAll(QString());
        return linhas;
    }

    // Fueling log lines of the day's file, without line ends.
    QStringList LinhasLog(const QString& nome = "LogLinkor09122025") const
    {
        QStringList linhas = Arquivo(nome).split("\r\n");
        linhas.removeAll(QString());
        return linhas;
    }

private:
    TConexao FConexao; // declared after the folder, so it detaches before the folder goes
};
