#include "tools/Scenario.h"

#include <QByteArray>
#include <deque>
#include <map>

#include "tools/MdbScenarios.h"

namespace {

constexpr uint32_t BYTE_TICKS = MdbScenarios::BYTE_TICKS;

// MDB: the VMC addresses a peripheral (mode bit on the address byte), the
// peripheral answers with ACK or with data whose last byte (the checksum) carries
// the mode bit, and the VMC acknowledges data. Every seventh message carries a
// wrong checksum, and the VMC then answers with NAK.
class MdbScenario final : public Scenario {
public:
  using Scenario::Scenario;

  BusByte NextByte() override {
    if (m_pending.empty()) nextExchange();
    BusByte b = m_pending.front();
    m_pending.pop_front();
    return b;
  }

private:
  struct Command {
    uint8_t command;  // peripheral address in the top five bits, command below
    QByteArray data;
    QByteArray response;  // empty: a plain ACK
  };

  void push(uint8_t data, bool peripheral, bool mode, uint32_t gap) {
    m_pending.push_back({data, peripheral, mode, maybeErrors(400), gap});
  }

  void message(const QByteArray& bytes, bool peripheral, uint32_t firstGap) {
    uint8_t sum = 0;
    for (int i = 0; i < bytes.size(); ++i) {
      const auto v = static_cast<uint8_t>(bytes[i]);
      sum = static_cast<uint8_t>(sum + v);
      // The VMC marks its address byte, a peripheral its last byte (the checksum).
      push(v, peripheral, !peripheral && i == 0, i == 0 ? firstGap : BYTE_TICKS);
    }
    const bool wrong = ++m_messages % 7 == 0;
    push(static_cast<uint8_t>(sum + (wrong ? 1 : 0)), peripheral, peripheral, BYTE_TICKS);
    m_lastWrong = wrong;
  }

  void nextExchange() {
    static const Command commands[] = {
        {0x0B, {}, {}},                                        // changer POLL, nothing to report
        {0x0A, {}, QByteArray::fromHex("0003000000000000")},     // changer TUBE STATUS
        {0x12, {}, QByteArray::fromHex("0503E8")},               // cashless POLL: begin session
        {0x13, QByteArray::fromHex("000096000A"), QByteArray::fromHex("0500FA")},  // VEND request
        {0x33, {}, QByteArray::fromHex("90")},                   // bill validator POLL: bill stacked
        {0x31, {}, {}},                                          // bill validator SETUP
    };
    const Command& c = commands[random(std::size(commands))];
    QByteArray vmc;
    vmc.append(static_cast<char>(c.command));  // address in the top five bits, command below
    vmc.append(c.data);
    message(vmc, false, 300 + random(3000));
    const uint32_t answerGap = 2 * BYTE_TICKS + random(40);
    if (m_lastWrong) {
      return;  // a peripheral ignores a message with a bad checksum: the VMC times out
    }
    if (c.response.isEmpty()) {
      push(0x00, true, true, answerGap);  // ACK, a single byte with the mode bit
      return;
    }
    message(c.response, true, answerGap);
    push(m_lastWrong ? 0xFF : 0x00, false, false, 2 * BYTE_TICKS);  // NAK or ACK from the VMC
  }

  std::deque<BusByte> m_pending;
  uint32_t m_messages = 0;
  bool m_lastWrong = false;
};

// Plain RS-232 text: a vending machine and a terminal exchanging lines.
class Rs232Scenario final : public Scenario {
public:
  using Scenario::Scenario;

  BusByte NextByte() override {
    if (m_at >= m_line.size()) nextLine();
    const bool first = m_at == 0;
    const auto data = static_cast<uint8_t>(m_line[m_at++]);
    return {data, m_fromPeripheral, false, maybeErrors(200), first ? 2000 + random(20000) : BYTE_TICKS};
  }

private:
  void nextLine() {
    static const char* requests[] = {"VEND 12\r\n", "PRICE? 7\r\n", "STATUS\r\n", "CREDIT 150\r\n"};
    static const char* answers[] = {"OK\r\n", "PRICE 7 1.20\r\n", "READY TEMP 4.5C\r\n", "ERR 3 sold out\r\n"};
    m_fromPeripheral = !m_fromPeripheral;
    m_line = m_fromPeripheral ? answers[random(std::size(answers))] : requests[random(std::size(requests))];
    m_at = 0;
  }

  QByteArray m_line;
  qsizetype m_at = 0;
  bool m_fromPeripheral = true;
};

// Runs of MDB exchanges and text lines, including the three error flags.
class MixedScenario final : public Scenario {
public:
  explicit MixedScenario(uint32_t seed) : Scenario(seed), m_mdb(seed), m_text(seed + 1) {}

  BusByte NextByte() override {
    if (m_left == 0) {
      m_useText = !m_useText;
      m_left = 20 + random(60);
    }
    --m_left;
    BusByte b = m_useText ? m_text.NextByte() : m_mdb.NextByte();
    if (random(50) == 0) b.errors = static_cast<uint8_t>(0x04 << random(3));
    return b;
  }

private:
  MdbScenario m_mdb;
  Rs232Scenario m_text;
  uint32_t m_left = 0;
  bool m_useText = true;
};

struct Entry {
  Scenario::Factory factory;
  const char* description;
};

const std::map<QString, Entry>& registry() {
  static const std::map<QString, Entry> r = {
      {QStringLiteral("mdb"),
       {[](uint32_t s) { return std::make_unique<MdbScenario>(s); },
        "MDB exchanges (VMC commands, peripheral ACK and data, every 7th checksum wrong)"}},
      {QStringLiteral("rs232"),
       {[](uint32_t s) { return std::make_unique<Rs232Scenario>(s); }, "plain RS-232 text lines in both directions"}},
      {QStringLiteral("mixed"),
       {[](uint32_t s) { return std::make_unique<MixedScenario>(s); },
        "runs of MDB exchanges and text, with F, O and P error flags now and then"}},
  };
  return r;
}

}  // namespace

uint8_t Scenario::maybeErrors(uint32_t oneIn) {
  if (random(oneIn) != 0) return 0;
  static const uint8_t choices[] = {0x10, 0x08, 0x04, 0x14, 0x1C};
  return choices[random(std::size(choices))];
}

std::unique_ptr<Scenario> Scenario::Create(const QString& name, uint32_t seed) {
  const auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second.factory(seed);
}

QStringList Scenario::Names() {
  QStringList names;
  for (const auto& [name, entry] : registry()) names << name;
  return names;
}

QString Scenario::Describe() {
  QString text;
  for (const auto& [name, entry] : registry()) text += QStringLiteral("  %1  %2\n").arg(name, -6).arg(entry.description);
  return text;
}
