-- Rows a person trying the server needs; rows already there are left as they are.
INSERT INTO positions (position_id, title)
VALUES (1, '会员'), (2, '理事'), (3, '常务理事'), (4, '副会长'), (5, '会长')
ON CONFLICT DO NOTHING;

INSERT INTO ebook_categories (category_id, category_name)
VALUES (1, '族谱'), (2, '家谱'), (3, '宗谱'), (4, '家训'), (5, '人物传记')
ON CONFLICT DO NOTHING;

-- The service desk: partner number 800018080 is the program's built-in service account.
INSERT INTO desk_members (desk_no, partner_no, desk_name, desk_info)
VALUES ('8001', '800018080', '客服小秦', '工作日 9:00-17:00 在线，为您解答族谱编修和软件使用的问题。')
ON CONFLICT DO NOTHING;
