// ecr-demo PORT SPEED: sells two articles, takes the payment, closes the receipt and runs the
// Z report on the printer behind PORT, printing each exchange as it goes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/commands.h"

namespace {

int failures = 0;

void Show(RetData& r) {
  std::printf("  %3d %-18s -> error word 0x%08X, reply \"%s\"\n", r.Command, r.RequestData,
              static_cast<unsigned>(r.ErrorWord), r.ReplyData);
  constexpr std::uint32_t kFailureMask = 0x1F0F237F;
  if ((r.ErrorWord & kFailureMask) != 0) ++failures;
}

bool Check(const char* what, std::int32_t result) {
  if (result != PRN_OK) {
    std::fprintf(stderr, "%s: refused by the link (%d)\n", what, result);
    ++failures;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ecr-demo PORT SPEED\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int speed = std::atoi(argv[2]);
  if (PrnOpenPort(port, speed) == -1) {
    std::fprintf(stderr, "cannot open COM%d at %d baud\n", port, speed);
    return 1;
  }
  std::printf("COM%d open at %d baud\n", port, speed);
  constexpr PrnWindow kNoWindow = 0;

  std::printf("programming two articles\n");
  // Tax group А (0xC0) for bread, Б (0xC1) for milk; names in Windows-1251.
  Check("article 1", PrnArticleProgram(kNoWindow, Show, 0, '\xC0', 1, 1, 12.50, "0",
                                       "\xD5\xEB\xE5\xE1"));  // Хлеб
  Check("article 2", PrnArticleProgram(kNoWindow, Show, 0, '\xC1', 2, 1, 30.00, "0",
                                       "\xCC\xEE\xEB\xEE\xEA\xEE"));  // Молоко

  std::printf("a sale\n");
  Check("status", PrnReadStatus(kNoWindow, Show, 0, 0));
  Check("open", PrnOpenFiscal(kNoWindow, Show, 0, 1, "0", 1));
  Check("sale 1", PrnSale(kNoWindow, Show, 0, 1, 1, 2, 0, 0));
  Check("sale 2", PrnSale(kNoWindow, Show, 0, 1, 2, 1.5, -10, 0));
  Check("sum", PrnTransactionStatus(kNoWindow, Show, 0, 1));
  Check("payment", PrnTotal(kNoWindow, Show, 0, "", 'P', 100));
  Check("close", PrnCloseFiscal(kNoWindow, Show, 0));

  std::printf("the Z report\n");
  Check("z report", PrnReport(kNoWindow, Show, 0, "0", '0'));
  std::string encoded;
  for (int chunk = 0; chunk < 100; ++chunk) {
    char data[16];
    std::snprintf(data, sizeof data, "0,0,%d", chunk);
    if (!Check("z data", PrnExecuteCallback(Show, 0, kCmdReadZData, data))) break;
    if (LinkResult.FieldCount < 2 || std::atoi(LinkResult.Fields[0]) == 0) break;
    encoded += LinkResult.Fields[1];
  }
  std::printf("Z report data read back: %zu base64 characters\n", encoded.size());
  PrnClosePort();
  if (failures != 0) {
    std::printf("%d step(s) failed\n", failures);
    return 1;
  }
  std::printf("done\n");
  return 0;
}
