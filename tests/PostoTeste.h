#pragma once
// A station for the main window's tests: a fresh embedded demo database in a temporary folder that
// also serves as the executable's and the current folder, a fixed clock, scripted message boxes
// and a fake concentrator.
#include "ClassConcentrador.h"
#include "Conexao.h"
#include "Erro.h"
#include "Posto.h"
#include "MenuPrin.h"
#include "Mensagens.h"
#include "Regional.h"
#include "Relogio.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

class TRelogioTeste : public TRelogio {
public:
    QDateTime Momento = QDateTime(QDate(2025, 12, 9), QTime(14, 3, 28));
    QString Pasta;
    mutable int Sonos = 0;
    QDateTime Agora() const override { return Momento; }
    QString PastaExecutavel() const override { return Pasta; }
    QString PastaAtual() const override { return Pasta; }
    void Dorme(int) const override { ++Sonos; }
};

class TRespondedorTeste : public TRespondedor {
public:
    struct TCaixa {
        TTipoMensagem Tipo;
        QString Texto;
    };
    QList<TCaixa> Caixas;
    TResposta Resposta = TResposta::Ok;
    TResposta Responde(TTipoMensagem tipo, const QString& texto, TBotoes) override
    {
        Caixas.append({tipo, texto});
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
    QString GetLeStatus() override { return Status; }
    bool InicializaSerial(std::uint8_t porta) override
    {
        Porta = porta;
        return PortaAbre;
    }
    void FinalizaSerial() override { Finalizado = true; }
    void AcertaDataHora() override { RelogioAcertado = true; }
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

    TPostoTeste()
    {
        TConfiguracaoRegional::Define(TConfiguracaoRegional::PtBr());
        Relogio.Pasta = Pasta.path() + '/';
        DefineRelogio(&Relogio);
        DefineRespondedor(&Respondedor);
        Banco = Pasta.filePath("POSTO.FDB");
        CriaBancoPosto(Banco, true);
        EscreveArquivo("Caminho.ini",
                       ("[DATABASEESTOQUE]\r\nCAMINHO=" + Banco + "\r\nUSUARIO=SYSDBA\r\nSENHA=masterkey\r\n").toUtf8());
    }
    ~TPostoTeste()
    {
        DefineRelogio(nullptr);
        DefineRespondedor(nullptr);
    }

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

    std::unique_ptr<TMenuPrin> AbreJanela()
    {
        return std::make_unique<TMenuPrin>([this] {
            auto falso = std::make_unique<TConcentradorFalso>();
            Falso = falso.get();
            return falso;
        });
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

private:
    TConexao FConexao; // declared after the folder, so it detaches before the folder goes
};
