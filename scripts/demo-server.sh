# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by scripts/run and scripts/screenshot: starts the local demo FTP server
# (127.0.0.1:2121, user demo, password demo) serving a sample web site in
# build/demo-site, unless something already listens on that port, and stops it
# when the calling script exits.
start_demo_server() {
  local site="$PWD/build/demo-site"
  if (exec 3<>/dev/tcp/127.0.0.1/2121) 2>/dev/null; then
    return 0
  fi
  if [ ! -d "$site" ]; then
    mkdir -p "$site/css" "$site/blog"
    cat > "$site/index.html" <<'HTML'
<!DOCTYPE html>
<html lang="ja"><head><meta charset="utf-8"><title>デモサイト</title>
<link rel="stylesheet" href="css/style.css"></head>
<body><h1>ようこそ</h1><p>Vexmora のデモサイトです。</p><a href="blog/first.html">ブログ</a></body></html>
HTML
    printf 'body { font-family: sans-serif; margin: 2em; }\nh1 { color: #336; }\n' > "$site/css/style.css"
    printf '<!DOCTYPE html>\n<html lang="ja"><head><meta charset="utf-8"><title>最初の記事</title></head>\n<body><p>最初の記事です。</p></body></html>\n' > "$site/blog/first.html"
    printf 'visits=0\n' > "$site/COUNTER.DAT"
  fi
  /usr/bin/python3 scripts/demo_server.py --port 2121 --root "$site" &
  DEMO_SERVER_PID=$!
  trap 'kill "$DEMO_SERVER_PID" 2>/dev/null' EXIT
  # Wait until it listens (at most 5 s).
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/2121) 2>/dev/null && break
    sleep 0.1
  done
  echo "Demo FTP server started on 127.0.0.1:2121, serving $site"
}
