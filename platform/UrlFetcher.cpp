#include "platform/UrlFetcher.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace plat {
namespace {

std::size_t Collect(char* data, std::size_t size, std::size_t n, void* user) {
  auto out = static_cast<std::vector<BYTE>*>(user);
  out->insert(out->end(), data, data + size * n);
  return size * n;
}

class CurlFetcher final : public UrlFetcher {
 public:
  std::optional<std::vector<BYTE>> Fetch(const std::string& url) override {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL* curl = curl_easy_init();
    if (!curl) return std::nullopt;
    std::vector<BYTE> body;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);  // HTTP errors are failures, not content
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK) return std::nullopt;
    return body;
  }
};

CurlFetcher g_curl;
std::atomic<UrlFetcher*> g_fetcher{nullptr};

}  // namespace

UrlFetcher& GetUrlFetcher() {
  UrlFetcher* f = g_fetcher.load();
  return f ? *f : g_curl;
}

UrlFetcher* InstallUrlFetcher(UrlFetcher* fetcher) { return g_fetcher.exchange(fetcher); }

bool OpenUrl(File& file, const std::string& url, bool text) {
  file.Close();
  auto bytes = GetUrlFetcher().Fetch(url);
  if (!bytes) return false;
  return file.OpenMemory(std::move(*bytes), text);
}

}  // namespace plat
