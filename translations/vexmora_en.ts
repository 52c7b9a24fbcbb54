<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Dialogs</name>
    <message>
        <source>はい</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>いいえ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Errors</name>
    <message>
        <source>指定されたファイルが見つかりません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>指定されたパスが見つかりません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アクセスが拒否されました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>フォルダーの一覧が上限を超えたため、途中で打ち切りました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>これ以上ファイルはありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>プロセスはファイルにアクセスできません。別のプロセスが使用中です。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パラメーターが間違っています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ディレクトリが空ではありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>既に存在するファイルを作成することはできません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通常のファイルではないため、開けません (FIFO、ソケット、デバイスは扱えません)。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送が途中で打ち切られました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>操作はタイムアウトしました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバー名またはアドレスは解決されませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パスワードが正しくありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ログインに失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーに接続できませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーとの接続が切断されました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーとの接続がリセットされました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FTP セッションが切断されました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーの証明書が信頼されていないため、接続しませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>暗号化された接続 (TLS) を確立できませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Ftp</name>
    <message>
        <source>セッションは開かれていません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1ﾊﾞｲﾄ ｱｯﾌﾟﾛｰﾄﾞ完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｿｹｯﾄｱﾄﾞﾚｽ%1に接続中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｿｹｯﾄｱﾄﾞﾚｽ%1に接続完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰからの応答を待っています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰからの接続を閉じました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不正なﾌｧｲﾙ名を%1件無視しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>他のﾌﾟﾛｾｽがﾌｧｲﾙを使用中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞが空でない</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>InternetOpen成功</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>コールバックを設定できません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>InternetConnect失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>既に接続中です&lt;%1&gt;
先にCloseしてください</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>セッションを閉じました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;%1&gt;へ接続しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;%1&gt;へ接続しました (%2で暗号化)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>InternetCloseHandle失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>セッションを閉じました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%1」には%2で表せない文字があるため使えません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰの文字ｺｰﾄﾞ(Shift_JIS)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpDeleteFile失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞは既に存在します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpCreateDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CreateDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpRemoveDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RemoveDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpSetCurrentDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SetCurrentDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpGetCurrentDirectory失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpRenameFile失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RenameFile失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FindFirst失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>InternetFindNextFile失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送モードをASCIIにしました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>転送モードをバイナリにしました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾊﾟﾗﾒｰﾀが間違っています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 が見つかりませんでした</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpPutFile失敗</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FtpGetFile失敗</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HostForm</name>
    <message>
        <source>ホストが指定されていません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホスト一覧</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホスト名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ユーザー名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>指定のホストに設定してもいいですか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>指定のホストを削除してもいいですか？</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>ホスト再接続に失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾛｰｶﾙのﾌｧｲﾙ数がﾎｽﾄより多いです。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動Upに失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>処理を中断しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>これから「AutoDownloadDaemon」に入ります。

終了するにはポップアップフォームのキャンセルを押して下さい。

※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。
危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>これから「AutoUploadDaemon」に入ります。

終了するにはポップアップフォームのキャンセルを押して下さい。

※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。
危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!

注意：追加ファイルのアップロードには対応していません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞ名を入力して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新しいﾌｧｲﾙ名に変更して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾛｰｶﾙﾌｫﾙﾀﾞを作成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾘﾓｰﾄﾌｫﾙﾀﾞを作成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾛｰｶﾙﾌｧｲﾙ名変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾘﾓｰﾄﾌｧｲﾙ名変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削除を実行してもいいですか？
元には戻せません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削除を実行してもいいですか？
元には戻せません
(※ｻﾌﾞﾌｫﾙﾀﾞは削除できません。)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
を読み込めなかったため、ホスト一覧を保存しませんでした。
このファイルは読み込めるようになるまでそのまま残します。

新しいホスト一覧を作成して置き換えますか？
(元のファイルに登録されたホストは失われます)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>指定のホストは現在使用中ですので
削除できませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホスト名を入力して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ユーザー名を入力して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パスワードを入力して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾎｽﾄがｵｰﾌﾟﾝできませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>続行できません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｼﾝﾌﾟﾙｱﾌﾟﾛｰﾄﾞ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ダウンロード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>終了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>一つ上のﾌｫﾙﾀﾞに上がる</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞｵｰﾌﾟﾝ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホスト一覧</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>接続</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>切断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動UP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｧｲﾙからﾌｫﾙﾀﾞｵｰﾌﾟﾝ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全ｱﾌﾟﾛｰﾄﾞ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホスト名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ユーザー名</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>パスワード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手動UP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>対象</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全て</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動UPﾀｲﾏｰ(秒)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟUPﾀｲﾏｰ(秒)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｽﾚｯﾄﾞ使用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｻﾌﾞﾌｫﾙﾀﾞ含む</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名前</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更新日時</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｻｲｽﾞ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｧｲﾙのあるﾌｫﾙﾀﾞｵｰﾌﾟﾝ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾋﾟﾘｵﾄﾞﾀﾞｳﾝ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞ作成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>名前変更</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホストに接続中です。
切断して終了してもいいですか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1ｱｯﾌﾟﾛｰﾄﾞ %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1ﾀﾞｳﾝﾛｰﾄﾞ %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
が見つかりませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1個のﾊﾞｯｸｱｯﾌﾟﾃﾞｰﾀﾍﾞｰｽを削除しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟUPﾀｲﾏｰが設定されています。
ここからはﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞはできませんでご注意下さい。
ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞは隣の腕時計のｺﾏﾝﾄﾎﾞﾀﾝから実行できます。
(※このﾒｯｾｰｼﾞを止めたい場合は、ﾙｰﾌﾟﾀｲﾏｰを 0 に設定して下さい。)

ｼﾝﾌﾟﾙｱｯﾌﾟﾛｰﾄﾞを実行しますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ダウンロードを実行しますか？
(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全再アップロードを実行しますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ループアプロードを実行しますか？</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 秒経過すると自動的に
再アプロードします。       </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>再アプロード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>.vexmoraignore を読めません。組込みの除外ﾙｰﾙだけを使います。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>監視できないﾌｫﾙﾀﾞがあります (fs.inotify.max_user_watches の上限など)。それらのﾌｫﾙﾀﾞは順に読み直して確かめます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞを読めません: %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainFormIcon</name>
    <message>
        <source>接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Model</name>
    <message>
        <source>入力データが空です。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ数=%1 (Dir=%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ数=%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>登録できるホストは %1 個までです。
不要なホストを削除して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
を開けませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>扱えるﾌｧｲﾙ数は %1 までです。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MssgForm</name>
    <message>
        <source>メッセージフォーム</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>残り %1秒</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SingleAutoUpForm</name>
    <message>
        <source>起動回数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動ｱﾌﾟﾛｰﾄﾞ監視中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>起動回数：%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Mutexの作成に失敗しました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vexmora はすでに起動されています。
複数起動を行いますか？</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Trust</name>
    <message>
        <source>証明書を検証できません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自己署名の証明書です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>発行元を確認できません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>有効期限が切れています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>まだ有効になっていません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ホスト名が証明書と一致しません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>警告: %1 の証明書が、以前に信頼した証明書と異なります。
第三者が通信に割り込んでいる可能性があります。

信頼した証明書の SHA-256 指紋:
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーの証明書を確認できませんでした。

ホスト: %1
理由: %2
発行先: %3
発行者: %4
有効期間: %5 ～ %6
SHA-256 指紋:
%7

この証明書を信頼して接続しますか?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
を読み込めなかったため、信頼した証明書を保存しませんでした。
このファイルは読み込めるようになるまでそのまま残します。

新しいファイルを作成して置き換えますか？
(元のファイルに記録された証明書は失われます)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>信頼した証明書を保存できませんでした。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UpDownLoadForm</name>
    <message>
        <source>ｱｯﾌﾟﾛｰﾄﾞ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ﾀﾞｳﾝﾛｰﾄﾞ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AutoDown監視</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AutoUP監視</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
%1中です。
中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
ﾌｧｲﾙ削除中です。
中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削除 (%1/%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>正常終了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ終了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>強制終了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キャンセル中</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
